#pragma once
#include <windows.h>

// Replaces a dialog's edit control with a Unicode one of the same place, styles, font, identifier
// and tab order, and returns it (the original when the new one cannot be made). An edit control
// that an ANSI dialog creates keeps its text in the ANSI code page on Windows, so a letter the
// code page lacks would read back as '?' however the text is set; a control made with
// CreateWindowExW keeps UTF-16. The rest of the dialog stays ANSI.
HWND RecreateAsUnicodeEdit(HWND dialog, int id);
