// Test support: every test starts from a clean system state.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>

// Base fixture. Removes HKCU and HKLM Software\Orvane and every key registered with
// ForgetKey() before and after the test, gives the test its own temp folder (also used
// as the program folder), and resets the process-wide state of the shared library.
class KxTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A key the test will touch; it is deleted (with its subkeys) now and after the test.
    void ForgetKey(HKEY root, const std::string& path);
    // A registry value the test will change; its old data is put back after the test.
    void SaveValue(HKEY root, const std::string& path, const std::string& name);

    // The test's own folder, without a trailing backslash.
    const std::string& TempDir() const { return temp_; }
    std::string TempPath(const std::string& name) const { return temp_ + "\\" + name; }

private:
    struct SavedValue {
        HKEY root;
        std::string path, name;
        bool existed;
        DWORD type;
        std::vector<BYTE> data;
    };
    std::vector<std::pair<HKEY, std::string>> keys_;
    std::vector<SavedValue> values_;
    std::string temp_;
};

// Helpers shared by the suites.
void DeleteKeyTree(HKEY root, const std::string& path);
bool RemoveFolderTree(const std::string& folder);
bool WriteTextFile(const std::string& path, const std::string& text);
std::string ReadTextFile(const std::string& path);
bool KeyExists(HKEY root, const std::string& path);
bool ValueExists(HKEY root, const std::string& path, const std::string& name);
std::string ReadValueText(HKEY root, const std::string& path, const std::string& name);
void WriteValueText(HKEY root, const std::string& path, const std::string& name,
                    const std::string& text, DWORD type = REG_SZ);
// Folder of the running test program (fixture programs are built there).
std::string TestProgramFolder();
