#pragma once
#include <windows.h>

#include <string>

#include "ui/font_rule.h"
#include "ui/win32/cstm_bitmap_button.h"
#include "ui/win32/cstm_static.h"

// The styling of the wizard's labels: font and height per variant, label
// colour on white, text, and place. A 0 width or height takes the variant's
// default. Each returns false only when the label is absent.
bool SetupTitleLabel(CCstmStatic* label, const FontSpec& font, const std::wstring& text, int x, int y, int width = 0,
                     int height = 0);
bool SetupPageTitleLabel(CCstmStatic* label, const FontSpec& font, const std::wstring& text, int width = 0,
                         int height = 0, int heightDelta = 0);
bool SetupStatusLabel(CCstmStatic* label, const FontSpec& font, const std::wstring& text, int width = 0,
                      int height = 0);
bool SetupBodyLabel(CCstmStatic* label, const FontSpec& font, const std::wstring& text, int x, int y, int width = 0,
                    int height = 0, int heightDelta = 0);
bool SetupPlainLabel(CCstmStatic* label, const FontSpec& font, const std::wstring& text, int x, int y, int width = 0,
                     int height = 0);

// The images, notifications and hand cursor of a bitmap button, its caption
// (which carries the mnemonic; the lettering is in the images) and its place.
// The page that owns the button receives its notifications. False when the
// images cannot be loaded or the button cannot be moved.
bool SetupImageButton(CCstmBitmapButton* button, int x, int y, const std::wstring& caption, int normal, int pressed,
                      int focus, int hover, int hoverFocus, int disabled, UINT msgSetFocus, UINT msgKillFocus,
                      UINT msgHover, UINT msgLeave, bool skipImages, int cursorId);
