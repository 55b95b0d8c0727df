// The text field's binding of the text-edit engine to the bitmap text: the callbacks read the
// focused field's geometry and string from these globals, which the field sets before the
// engine runs.
#pragma once

#include <string>

#include "widgets/text_edit_engine.h"

extern int OGLE_x;          // field left
extern int OGLE_y;          // field baseline
extern int OGLE_entry_dx;   // field width
extern float OGLE_dx;       // horizontal scroll of the text
extern float OGLE_dy;       // vertical scroll
extern std::string* OGLE_input;  // the string being edited; null outside a focused field's call
extern int OGLE_edit;       // set by any text replacement in this call

extern const OGLE_Callbacks OGLE_cbs;

void OGLE_GetVisibleBounds(OGLE_Rec* rec, float rect[4]);
void OGLE_GetLogicalBounds(OGLE_Rec* rec, float rect[4]);
void OGLE_SetLogicalHeight(OGLE_Rec* rec, float height);
void OGLE_ScrollTo(OGLE_Rec* rec, float offset[2]);
void OGLE_GetText(OGLE_Rec* rec, const char** begin, const char** end);
void OGLE_ReplaceTextFunc(OGLE_Rec* rec, int from, int to, const char* begin, const char* end);
float OGLE_GetLineHeight(OGLE_Rec* rec);
float OGLE_MeasureString(OGLE_Rec* rec, const char* begin, const char* end);
int OGLE_FitStringFwd(OGLE_Rec* rec, const char* begin, const char* end, float width);
int OGLE_FitStringRev(OGLE_Rec* rec, const char* begin, const char* end, float width);
void OGLE_DrawString(OGLE_Rec* rec, const char* begin, const char* end, float x, float y);
void OGLE_DrawSelection(OGLE_Rec* rec, float rect[4]);
const char* OGLE_WordBreak(OGLE_Rec* rec, const char* begin, const char* end);
