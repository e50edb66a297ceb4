#pragma once
// Puts every highlighter class of the program into the class list; the program calls it once
// when it starts, before any window exists.
void RegisterStandardHighlighters();
