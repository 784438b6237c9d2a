// A button of the panel: the invisible close zone (kind 10) or one of the
// three action buttons (kind 0), each carrying the action record (command
// and URL) that its click runs.
#pragma once

#include "panels/drawer.h"
#include "platform/handles.h"

class CButtonDrawer : public CDrawer {
public:
    static constexpr int32_t kCloseKind = 10;

    CButtonDrawer();

    void SetKind(int32_t kind) { m_nKind = kind; }
    int32_t Kind() const { return m_nKind; }
    // Clears all three texts, then copies each, cut to its field.
    void SetTexts(const char* caption, const char* command, const char* url);
    // Only the action record; used by the elements' spare buttons.
    void SetAction(const char* command, const char* url);

    const char* Caption() const { return m_szCaption; }
    const char* Command() const { return m_szCommand; }
    const char* Url() const { return m_szURL; }

    void OnClick() override;
    void Draw(HDC dc) override;
    // True when the caption, in the font it is drawn in, is wider or
    // higher than the button.
    bool CaptionCut(HDC dc) const;

private:
    char m_szCaption[20];
    char m_szCommand[20];
    char m_szURL[1024];
    int32_t m_nKind = 0;
    handles::Pen m_borderPen;
};
