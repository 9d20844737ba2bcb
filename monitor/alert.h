// The monitor's alert dialogs: the current alert a check fills before it opens one, the
// dialog runner (with a test seam), and the behaviour the dialogs share.
#pragma once
#include <windows.h>
#include "textutil.h"
#include "versioninfo.h"
#include "winpos.h"

// Dialog templates of the alerts.
enum AlertTemplate {
    ALERT_STARTUP = 131,
    ALERT_TASK = 138,
    ALERT_ADDON = 140,
    ALERT_FILETYPE = 143,
    ALERT_SERVICE = 171,
    ALERT_SYSFILE = 189,
    ALERT_HIDDEN = 191,
    ALERT_DELAYED_BACK = 192,
};

// Result the startup alert returns when the entry is to be disabled rather than removed.
const int ALERT_RESULT_DISABLE = 11;

// What the open alert is about. Filled by the check, read by the dialog, cleared by the
// dialog when it ends.
struct CurrentAlert {
    int type;             // entry-type code, or 370 hidden file, 400 file type
    char title[260];      // entry title; the extension; the system file's name
    char command[260];    // program path; for a file type the stored association's program
    char previous[260];   // file types: the program of the new association
    char file[260];       // system files: the file's full path
    char service[256];    // services: the key name the dialog acts on
};
extern CurrentAlert g_alert;

void SetCurrentAlert(int type, const char* title, const char* command);
void ClearCurrentAlert();

// Opens one alert modally on the owner window and returns its result.
INT_PTR ShowAlertDialog(HWND owner, int templateId);

// The dialog procedure of a template; nullptr for an unknown one.
DLGPROC AlertDialogProc(int templateId);

// The procedures of the eight alerts.
INT_PTR CALLBACK StartupAlertProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK DelayedBackAlertProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK AddonAlertProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK TaskAlertProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK ServiceAlertProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK HiddenAlertProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK FileTypeAlertProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK SysFileAlertProc(HWND, UINT, WPARAM, LPARAM);


// Repeated-alert state of the startup alert, kept between alerts.
void ResetRepeatedAlert();
int RepeatedAlertCount();

// --- Shared behaviour, used by the dialog procedures ---

// Texts and fonts every alert shows: its caption, labels, Yes/No, the info button, the position.
void InitAlertFrame(HWND dialog, const WindowPosNames& position, UINT captionString);
// Icon button 117, name line 100 (large font), path 1026 (bold font) and the version
// fields 1029-1032 from the program file. Returns 1 when the file has version strings;
// strings is filled (empty slots when none).
int FillProgramBlock(HWND dialog, const char* command, VersionStrings* strings);
// Who signed the program (its publisher text) in the control id, drawn red when the signature
// is broken or the file is gone; nothing when the template has no such control.
void ShowAlertPublisher(HWND dialog, int id, const char* programFile, const char* company);
// Shows the first icon of the program file on a button; leaves the face alone when the file
// or its icon is missing.
void ShowProgramIcon(HWND dialog, int buttonId, const char* command);
// WM_CLOSE and WM_DESTROY: the position is remembered.
void AlertClosing(HWND dialog, const WindowPosNames& position);
// Clears the current alert and ends the dialog.
void EndAlert(HWND dialog, INT_PTR result);
// The information button: online lookup for type + 1000 and the path, then out of the topmost
// band so the browser can come in front.
void AlertInfoButton(HWND dialog, int type, const char* path);
// Frees the icons an alert put on its buttons.
void ReleaseAlertIcons(HWND dialog);
// What every alert with the program block does unless its procedure handles it first:
// Yes and Esc accept, No refuses, 1067 is the information button, and the place is saved
// on closing. A dialog procedure passes on every message it did not handle.
INT_PTR AlertCommonMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The publisher line of the alerts with one program block.
const int IDC_ALERT_PUBLISHER = 1243;
// The file type alert's two publisher lines: the stored program's and the new one's.
const int IDC_ALERT_PUBLISHER_OLD = 1244;
const int IDC_ALERT_PUBLISHER_NEW = 1245;

// Fonts of the name line and the path (those the monitor made with its window).
HFONT AlertLargeFont();
HFONT AlertBoldFont();
