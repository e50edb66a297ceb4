#pragma once
// Editor command numbers. Numbers 1..1000 are run by the editor itself; ecUserFirst and above
// are user commands that only reach the user-command event. The identifiers are registered with
// the integer-constant registry under the type name "TSrcEditorCommand" for form storage.
#include <cstdint>
#include <span>

#include "platform/ansi.h"
#include "platform/constants_registry.h"

using TSrcEditorCommand = uint16_t;

constexpr TSrcEditorCommand ecNone = 0;
constexpr TSrcEditorCommand ecLeft = 1;
constexpr TSrcEditorCommand ecRight = 2;
constexpr TSrcEditorCommand ecUp = 3;
constexpr TSrcEditorCommand ecDown = 4;
constexpr TSrcEditorCommand ecWordLeft = 5;
constexpr TSrcEditorCommand ecWordRight = 6;
constexpr TSrcEditorCommand ecLineStart = 7;
constexpr TSrcEditorCommand ecLineEnd = 8;
constexpr TSrcEditorCommand ecPageUp = 9;
constexpr TSrcEditorCommand ecPageDown = 10;
constexpr TSrcEditorCommand ecPageLeft = 11;
constexpr TSrcEditorCommand ecPageRight = 12;
constexpr TSrcEditorCommand ecPageTop = 13;
constexpr TSrcEditorCommand ecPageBottom = 14;
constexpr TSrcEditorCommand ecEditorTop = 15;
constexpr TSrcEditorCommand ecEditorBottom = 16;
constexpr TSrcEditorCommand ecGotoXY = 17;
constexpr TSrcEditorCommand ecSelLeft = 101;
constexpr TSrcEditorCommand ecSelRight = 102;
constexpr TSrcEditorCommand ecSelUp = 103;
constexpr TSrcEditorCommand ecSelDown = 104;
constexpr TSrcEditorCommand ecSelWordLeft = 105;
constexpr TSrcEditorCommand ecSelWordRight = 106;
constexpr TSrcEditorCommand ecSelLineStart = 107;
constexpr TSrcEditorCommand ecSelLineEnd = 108;
constexpr TSrcEditorCommand ecSelPageUp = 109;
constexpr TSrcEditorCommand ecSelPageDown = 110;
constexpr TSrcEditorCommand ecSelPageLeft = 111;
constexpr TSrcEditorCommand ecSelPageRight = 112;
constexpr TSrcEditorCommand ecSelPageTop = 113;
constexpr TSrcEditorCommand ecSelPageBottom = 114;
constexpr TSrcEditorCommand ecSelEditorTop = 115;
constexpr TSrcEditorCommand ecSelEditorBottom = 116;
constexpr TSrcEditorCommand ecSelGotoXY = 117;
constexpr TSrcEditorCommand ecSelectAll = 199;
constexpr TSrcEditorCommand ecCopy = 201;
constexpr TSrcEditorCommand ecScrollUp = 211;
constexpr TSrcEditorCommand ecScrollDown = 212;
constexpr TSrcEditorCommand ecScrollLeft = 213;
constexpr TSrcEditorCommand ecScrollRight = 214;
constexpr TSrcEditorCommand ecInsertMode = 221;
constexpr TSrcEditorCommand ecOverwriteMode = 222;
constexpr TSrcEditorCommand ecToggleMode = 223;
constexpr TSrcEditorCommand ecNormalSelect = 231;
constexpr TSrcEditorCommand ecColumnSelect = 232;
constexpr TSrcEditorCommand ecLineSelect = 233;
constexpr TSrcEditorCommand ecMatchBracket = 250;
constexpr TSrcEditorCommand ecCommentBlock = 251;
constexpr TSrcEditorCommand ecGotoMarker0 = 301;
constexpr TSrcEditorCommand ecGotoMarker1 = 302;
constexpr TSrcEditorCommand ecGotoMarker2 = 303;
constexpr TSrcEditorCommand ecGotoMarker3 = 304;
constexpr TSrcEditorCommand ecGotoMarker4 = 305;
constexpr TSrcEditorCommand ecGotoMarker5 = 306;
constexpr TSrcEditorCommand ecGotoMarker6 = 307;
constexpr TSrcEditorCommand ecGotoMarker7 = 308;
constexpr TSrcEditorCommand ecGotoMarker8 = 309;
constexpr TSrcEditorCommand ecGotoMarker9 = 310;
constexpr TSrcEditorCommand ecSetMarker0 = 351;
constexpr TSrcEditorCommand ecSetMarker1 = 352;
constexpr TSrcEditorCommand ecSetMarker2 = 353;
constexpr TSrcEditorCommand ecSetMarker3 = 354;
constexpr TSrcEditorCommand ecSetMarker4 = 355;
constexpr TSrcEditorCommand ecSetMarker5 = 356;
constexpr TSrcEditorCommand ecSetMarker6 = 357;
constexpr TSrcEditorCommand ecSetMarker7 = 358;
constexpr TSrcEditorCommand ecSetMarker8 = 359;
constexpr TSrcEditorCommand ecSetMarker9 = 360;
constexpr TSrcEditorCommand ecContextHelp = 490;
constexpr TSrcEditorCommand ecDeleteLastChar = 501;
constexpr TSrcEditorCommand ecDeleteChar = 502;
constexpr TSrcEditorCommand ecDeleteWord = 503;
constexpr TSrcEditorCommand ecDeleteLastWord = 504;
constexpr TSrcEditorCommand ecDeleteBOL = 505;
constexpr TSrcEditorCommand ecDeleteEOL = 506;
constexpr TSrcEditorCommand ecDeleteLine = 507;
constexpr TSrcEditorCommand ecClearAll = 508;
constexpr TSrcEditorCommand ecLineBreak = 509;
constexpr TSrcEditorCommand ecInsertLine = 510;
constexpr TSrcEditorCommand ecChar = 511;
constexpr TSrcEditorCommand ecImeStr = 550;
constexpr TSrcEditorCommand ecUndo = 601;
constexpr TSrcEditorCommand ecRedo = 602;
constexpr TSrcEditorCommand ecCut = 603;
constexpr TSrcEditorCommand ecPaste = 604;
constexpr TSrcEditorCommand ecBlockIndent = 610;
constexpr TSrcEditorCommand ecBlockUnindent = 611;
constexpr TSrcEditorCommand ecTab = 612;
constexpr TSrcEditorCommand ecShiftTab = 613;
constexpr TSrcEditorCommand ecUpperCase = 620;
constexpr TSrcEditorCommand ecLowerCase = 621;
constexpr TSrcEditorCommand ecToggleCase = 622;
constexpr TSrcEditorCommand ecTitleCase = 623;
constexpr TSrcEditorCommand ecUpperCaseBlock = 625;
constexpr TSrcEditorCommand ecLowerCaseBlock = 626;
constexpr TSrcEditorCommand ecToggleCaseBlock = 627;
constexpr TSrcEditorCommand ecString = 630;
constexpr TSrcEditorCommand ecAutoCompletion = 650;
constexpr TSrcEditorCommand ecUserFirst = 1001;

// Every selecting variant of a caret move is the move's number + 100.
constexpr TSrcEditorCommand ecSelection = 100;

// Type name under which the command identifiers are registered.
inline constexpr const char* kEditorCommandTypeName = "TSrcEditorCommand";

// All identifiers with their numbers, in ascending order of number.
std::span<const TIdentMapEntry> EditorCommandMap();

// Identifier to number (case-insensitive) and number to identifier; false when unknown.
bool IdentToEditorCommand(const AnsiString& Ident, int& Command);
bool EditorCommandToIdent(int Command, AnsiString& Ident);
// The identifier of a command, or its number as decimal digits when it has none.
AnsiString EditorCommandToCodeString(TSrcEditorCommand Command);

// Registers (again) and unregisters the identifiers with the integer-constant registry. The
// registration also happens once when the program starts.
void RegisterEditorCommandConsts();
void UnregisterEditorCommandConsts();
