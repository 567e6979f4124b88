// The language of the program's menu and dialogs.  quillvane.rc holds each
// of them in Japanese and in English under one name; the thread's language
// decides which one the resource loader finds.
#pragma once

#include "app/ui_language.h"

#include <windows.h>

// The language of a UiLanguage's block in quillvane.rc.
LANGID ResourceLanguage(UiLanguage language);

// Makes the calling thread's FindResource, LoadMenu and dialog functions
// (and so every menu and dialog it creates from instance) find the
// resources of ProgramLanguage().  Call it before the first window.
void UseProgramLanguage(HINSTANCE instance);

// For tests: the next ProgramLanguage() decides again.
void ForgetProgramLanguage();
