#pragma once
// Puts the loaded language pack's translations into windows and menus that
// were built with English texts. Works on plain handles so that any dialog,
// page or menu can use it.

#include <windows.h>

#include <initializer_list>

class CLangSupport;

// The window's caption and the text of each of its direct children, in window
// order; empty texts and the children whose ids are in skipIds stay as they are.
void TranslateWindowTexts(CLangSupport* language, HWND window, std::initializer_list<int> skipIds = {});

// Every item's text of the menu and its sub-menus; separators and items
// without a text are left alone.
void TranslateMenu(CLangSupport* language, HMENU menu);

// Points the framework's own texts (data-exchange messages) at the language
// pack; null keeps them English.
void TranslateFrameworkTexts(CLangSupport* language);
