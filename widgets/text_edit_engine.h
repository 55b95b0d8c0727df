// Widget kit layer (widgets/).
// The text-edit engine: a selection and wrapped line starts over a text it does not own.
// Reading, changing, measuring and drawing the text all go through the user's callbacks.
// Positions are byte offsets; rectangles are {left, bottom, right, top}, y up.
#pragma once

#include <vector>

struct OGLE_Rec;

struct OGLE_Callbacks {
    void (*GetVisibleBounds)(OGLE_Rec* rec, float rect[4]);
    void (*GetLogicalBounds)(OGLE_Rec* rec, float rect[4]);
    void (*SetLogicalHeight)(OGLE_Rec* rec, float height);
    // offset: {visible left - logical left, visible bottom - logical bottom}
    void (*ScrollTo)(OGLE_Rec* rec, float offset[2]);
    void (*GetText)(OGLE_Rec* rec, const char** begin, const char** end);
    void (*ReplaceText)(OGLE_Rec* rec, int from, int to, const char* begin, const char* end);
    float (*GetLineHeight)(OGLE_Rec* rec);
    float (*MeasureString)(OGLE_Rec* rec, const char* begin, const char* end);
    int (*FitStringFwd)(OGLE_Rec* rec, const char* begin, const char* end, float width);
    int (*FitStringRev)(OGLE_Rec* rec, const char* begin, const char* end, float width);
    void (*DrawString)(OGLE_Rec* rec, const char* begin, const char* end, float x, float y);
    // left == right: the caret
    void (*DrawSelection)(OGLE_Rec* rec, float rect[4]);
    const char* (*WordBreak)(OGLE_Rec* rec, const char* begin, const char* end);
};

struct OGLE_Rec {
    OGLE_Callbacks cb;
    void* refcon;
    std::vector<int> line_starts;
    int sel_start;
    int sel_end;
    int active_end;   // the end that moves when extending: 0 sel_start, 1 sel_end
    float desired_x;  // column kept across Up/Down; -1 none
};

// None of the callbacks may be null.
OGLE_Rec* OGLE_Create(const OGLE_Callbacks* callbacks, void* refcon);
void OGLE_Destroy(OGLE_Rec* rec);
void* OGLE_GetRef(OGLE_Rec* rec);
void OGLE_GetSelection(OGLE_Rec* rec, int* start, int* end);
void OGLE_SetSelection(OGLE_Rec* rec, int start, int end);
void OGLE_RevealSelection(OGLE_Rec* rec);
void OGLE_Draw(OGLE_Rec* rec, int show_caret);
void OGLE_Click(OGLE_Rec* rec, float x, float y, int extend);
void OGLE_Drag(OGLE_Rec* rec, float x, float y);
// Keys 8 backspace, 28 left, 29 right, 30 up, 31 down; any other byte is inserted.
void OGLE_Key(OGLE_Rec* rec, char key, int shift);
// Re-wraps the whole text; call it whenever the text changed outside the engine.
void OGLE_Repaginate(OGLE_Rec* rec);
void OGLE_ReplaceText(OGLE_Rec* rec, int from, int to, const char* begin, const char* end);

// The engine as a class: the callbacks become virtual operations on the object.
class OGLE {
public:
    OGLE();
    virtual ~OGLE();
    OGLE(const OGLE&) = delete;
    OGLE& operator=(const OGLE&) = delete;

    void GetSelection(int* start, int* end);
    void SetSelection(int start, int end);
    void RevealSelection();
    void Draw(int show_caret);
    void Drag(float x, float y);
    void Click(float x, float y, int extend);
    void Key(char key, int shift);
    void Repaginate();
    void DoReplaceText(int from, int to, const char* begin, const char* end);

    virtual void GetVisibleBounds(float rect[4]) = 0;
    virtual void GetLogicalBounds(float rect[4]) = 0;
    virtual void SetLogicalHeight(float height) = 0;
    virtual void ScrollTo(float offset[2]) = 0;
    virtual void GetText(const char** begin, const char** end) = 0;
    virtual void ReplaceText(int from, int to, const char* begin, const char* end) = 0;
    virtual float GetLineHeight() = 0;
    virtual float MeasureString(const char* begin, const char* end) = 0;
    virtual int FitStringFwd(const char* begin, const char* end, float width) = 0;
    virtual int FitStringRev(const char* begin, const char* end, float width) = 0;
    virtual void DrawString(const char* begin, const char* end, float x, float y) = 0;
    virtual void DrawSelection(float rect[4]) = 0;
    virtual const char* WordBreak(const char* begin, const char* end) = 0;

    static void GetVisibleBoundsCB(OGLE_Rec* rec, float rect[4]);
    static void GetLogicalBoundsCB(OGLE_Rec* rec, float rect[4]);
    static void SetLogicalHeightCB(OGLE_Rec* rec, float height);
    static void ScrollToCB(OGLE_Rec* rec, float offset[2]);
    static void GetTextCB(OGLE_Rec* rec, const char** begin, const char** end);
    static void ReplaceTextCB(OGLE_Rec* rec, int from, int to, const char* begin, const char* end);
    static float GetLineHeightCB(OGLE_Rec* rec);
    static float MeasureStringCB(OGLE_Rec* rec, const char* begin, const char* end);
    static int FitStringFwdCB(OGLE_Rec* rec, const char* begin, const char* end, float width);
    static int FitStringRevCB(OGLE_Rec* rec, const char* begin, const char* end, float width);
    static void DrawStringCB(OGLE_Rec* rec, const char* begin, const char* end, float x, float y);
    static void DrawSelectionCB(OGLE_Rec* rec, float rect[4]);
    static const char* WordBreakCB(OGLE_Rec* rec, const char* begin, const char* end);

protected:
    OGLE_Rec* rec;
};
