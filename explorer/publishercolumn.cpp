#include "publishercolumn.h"
#include "dialogs_pages.h"
#include "entrylist.h"
#include "resstring.h"
#include "signature.h"
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// A distinct program of the fill: its rows all show the same text.
struct Program {
    std::string file;
    int asked = 0;   // 1 while the worker checks it, 2 once it answered
    int known = 0;
    std::string text;
};

// One fill's rows and the distinct programs they name: thousands of rows usually share a
// few dozen programs, and each of those is resolved, asked for and worded once.
struct Fill {
    unsigned generation = 0;
    SignaturePass pass;
    std::vector<int> rowProgram;   // by entry index; -1 until the row is first shown
    std::vector<Program> programs;
    std::unordered_map<std::string, int> programIds;
    int waiting = 0;
};
Fill* g_fill = new Fill;   // never freed: a late answer may still be on its way at exit

const unsigned kProgramBits = 16;   // MAX_ENTRIES distinct programs at most

const char* CheckingText()
{
    static char text[64];
    if (!text[0] && !LoadResString(1436, text, sizeof(text)))
        lstrcpyA(text, "...");
    return text;
}

int ProgramId(int index)
{
    const std::string& file = g_fill->pass.Program(GetEntry(index)->command);
    std::string key = file;
    CharUpperBuffA(&key[0], (DWORD)key.size());
    auto found = g_fill->programIds.find(key);
    if (found != g_fill->programIds.end())
        return found->second;
    int id = (int)g_fill->programs.size();
    g_fill->programs.push_back(Program());
    g_fill->programs.back().file = file;
    g_fill->programIds.emplace(key, id);
    return id;
}

const char* Known(Program& program, int index, const SignatureResult& result,
                  const char* (*company)(int))
{
    // The company is the program file's own claim, shown only beside an unproven signature.
    bool claims = result.state == SIG_UNSIGNED || result.state == SIG_UNTRUSTED ||
                  result.state == SIG_EXPIRED;
    char text[300];
    PublisherText(result, claims && company ? company(index) : "", text, sizeof(text));
    program.text = text;
    program.known = 1;
    return program.text.c_str();
}

}   // namespace

void StartPublisherColumn()
{
    unsigned generation = g_fill->generation + 1;
    delete g_fill;
    g_fill = new Fill;
    g_fill->generation = generation;
    g_fill->rowProgram.assign(EntryCount(), -1);
}

const char* PublisherCell(HWND page, int index, const char* (*company)(int))
{
    if (index < 0 || index >= (int)g_fill->rowProgram.size() || index >= EntryCount())
        return "";
    int& id = g_fill->rowProgram[index];
    if (id < 0)
        id = ProgramId(index);
    Program& program = g_fill->programs[id];
    if (program.known)
        return program.text.c_str();
    SignatureResult result;
    if (PeekFileSignature(program.file.c_str(), &result))
        return Known(program, index, result, company);
    if (program.asked == 2) {
        // Answered, yet not kept: the file changed while it was checked.
        GetFileSignature(program.file.c_str(), &result);
        return Known(program, index, result, company);
    }
    if (!program.asked) {
        WPARAM ticket = ((WPARAM)g_fill->generation << kProgramBits) | (WPARAM)id;
        if (!RequestFileSignature(program.file.c_str(), page, WM_PUBLISHER_ANSWER, ticket)) {
            // No worker: the answer is found here instead.
            GetFileSignature(program.file.c_str(), &result);
            return Known(program, index, result, company);
        }
        program.asked = 1;
        g_fill->waiting++;
    }
    return CheckingText();
}

int PublisherAnswer(HWND page, WPARAM ticket)
{
    if ((unsigned)(ticket >> kProgramBits) != g_fill->generation)
        return 0;
    size_t id = ticket & ((1u << kProgramBits) - 1);
    if (id >= g_fill->programs.size() || g_fill->programs[id].asked != 1)
        return 0;
    g_fill->programs[id].asked = 2;
    g_fill->waiting--;
    InvalidateRect(GetDlgItem(page, IDC_PAGE_LIST), nullptr, FALSE);
    return g_fill->waiting == 0;
}

int EntryMicrosoftSigned(int index)
{
    const EntryRecord* r = GetEntry(index);
    return r && IsMicrosoftSigned(g_fill->pass.Check(r->command));
}
