// The "Publisher" column the program lists share: each row's program is checked on the
// worker thread (the row reads "checking..." meanwhile) and the list is redrawn as answers
// arrive, so that no page waits for the signatures of its programs.
#pragma once
#include <windows.h>

// Posted to the page when the signature of one of its programs is known.
const UINT WM_PUBLISHER_ANSWER = WM_APP + 0x232;

// A fill of the entry list begins: what the rows showed is forgotten and answers still on
// their way for an earlier fill are ignored.
void StartPublisherColumn();
// Text of a row's publisher cell; asks for the check (answered to page) when not known yet.
// company gives the CompanyName shown beside an unsigned program.
const char* PublisherCell(HWND page, int index, const char* (*company)(int index));
// WM_PUBLISHER_ANSWER: redraws the page's list when the answer belongs to its current fill;
// 1 when it did and no row waits for an answer any longer.
int PublisherAnswer(HWND page, WPARAM ticket);
// 1 when the entry's program verifies as signed by Windows' maker (checked now if need be).
int EntryMicrosoftSigned(int index);
