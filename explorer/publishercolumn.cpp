#include "publishercolumn.h"
#include "dialogs_pages.h"
#include "entrylist.h"
#include "pagecommands.h"
#include "resstring.h"
#include "signature.h"
#include <string>
#include <unordered_map>
#include <vector>

namespace {

enum RowState : char { ROW_UNKNOWN, ROW_WAITING, ROW_KNOWN };

struct Row {
    RowState state = ROW_UNKNOWN;
    int program = -1;   // index into g_programs
    std::string text;
};

// One fill's rows and the distinct programs they name: thousands of rows usually share a
// few dozen programs, and each of those is asked for once.
struct Fill {
    unsigned generation = 0;
    std::vector<Row> rows;
    std::vector<std::string> programs;
    std::vector<char> asked;
    std::unordered_map<std::string, int> programIds;
    int waiting = 0;
};
Fill g_fill;

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
    char program[260];
    EntryProgramFile(index, program);
    std::string key = program;
    CharUpperBuffA(&key[0], (DWORD)key.size());
    auto found = g_fill.programIds.find(key);
    if (found != g_fill.programIds.end())
        return found->second;
    int id = (int)g_fill.programs.size();
    g_fill.programs.push_back(program);
    g_fill.asked.push_back(0);
    g_fill.programIds.emplace(key, id);
    return id;
}

void Known(Row& row, int index, const SignatureResult& result, const char* (*company)(int))
{
    char text[300];
    PublisherText(result, result.state == SIG_VERIFIED || result.state == SIG_BROKEN ||
                                  result.state == SIG_MISSING || !company
                              ? ""
                              : company(index),
                  text, sizeof(text));
    row.text = text;
    row.state = ROW_KNOWN;
}

}   // namespace

void StartPublisherColumn()
{
    unsigned generation = g_fill.generation + 1;
    g_fill = Fill();
    g_fill.generation = generation;
    g_fill.rows.resize(EntryCount());
}

const char* PublisherCell(HWND page, int index, const char* (*company)(int))
{
    if (index < 0 || index >= (int)g_fill.rows.size() || index >= EntryCount())
        return "";
    Row& row = g_fill.rows[index];
    if (row.state == ROW_KNOWN)
        return row.text.c_str();
    if (row.program < 0)
        row.program = ProgramId(index);
    const std::string& program = g_fill.programs[row.program];
    SignatureResult result;
    if (PeekFileSignature(program.c_str(), &result)) {
        Known(row, index, result, company);
        return row.text.c_str();
    }
    if (!g_fill.asked[row.program]) {
        WPARAM ticket = ((WPARAM)g_fill.generation << kProgramBits) | (WPARAM)row.program;
        if (!RequestFileSignature(program.c_str(), page, WM_PUBLISHER_ANSWER, ticket)) {
            // No worker: the answer is found here instead.
            GetFileSignature(program.c_str(), &result);
            Known(row, index, result, company);
            return row.text.c_str();
        }
        g_fill.asked[row.program] = 1;
        g_fill.waiting++;
    } else if (g_fill.asked[row.program] == 2) {
        // Answered, yet not kept: the file changed while it was checked.
        GetFileSignature(program.c_str(), &result);
        Known(row, index, result, company);
        return row.text.c_str();
    }
    row.state = ROW_WAITING;
    return CheckingText();
}

int PublisherAnswer(HWND page, WPARAM ticket)
{
    if ((unsigned)(ticket >> kProgramBits) != g_fill.generation)
        return 0;
    size_t program = ticket & ((1u << kProgramBits) - 1);
    if (program >= g_fill.asked.size() || g_fill.asked[program] != 1)
        return 0;
    g_fill.asked[program] = 2;
    g_fill.waiting--;
    InvalidateRect(GetDlgItem(page, IDC_PAGE_LIST), nullptr, FALSE);
    return g_fill.waiting == 0;
}

int EntryMicrosoftSigned(int index)
{
    char program[260];
    EntryProgramFile(index, program);
    SignatureResult result;
    GetFileSignature(program, &result);
    return IsMicrosoftSigned(result);
}
