// The controls the program's windows use. Setting a property from code and acting as the user
// are separate calls, because the program's handlers depend on which handlers each one runs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/line_list.h"
#include "ui/control.h"

namespace ui {

class Label : public Control {
 public:
  Label(Form& owner, std::string name, Bounds bounds, std::string caption);
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);

 private:
  std::string caption_;
};

class Bevel : public Control {
 public:
  Bevel(Form& owner, std::string name, Bounds bounds);
};

class Button : public Control {
 public:
  Button(Form& owner, std::string name, Bounds bounds, std::string caption);
  const std::string& Caption() const { return caption_; }

  // A click by the user: the focus moves here first, then OnClick runs. Ignored when disabled.
  void UserClick();

  std::function<void()> OnClick;

 private:
  std::string caption_;
};

class CheckBox : public Control {
 public:
  CheckBox(Form& owner, std::string name, Bounds bounds, std::string caption);
  const std::string& Caption() const { return caption_; }
  bool Checked() const { return checked_; }
  // From code: runs OnClick, inside the caller's handler, exactly when the state changes.
  void SetChecked(bool checked);

  // A click by the user: the focus moves here, the state toggles and OnClick runs.
  void UserClick();

  std::function<void()> OnClick;

 private:
  std::string caption_;
  bool checked_ = false;
};

// A drop-down with an editable text.
class ComboBox : public Control {
 public:
  ComboBox(Form& owner, std::string name, Bounds bounds, std::vector<std::string> items,
           std::string text);
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  const std::string& Text() const { return text_; }
  // From code: runs no handler.
  void SetText(std::string text);

  // Typing that leaves `text` in the field, and a choice from the list: the new text is in
  // place before OnChange runs. A choice past the end of the list is ignored.
  void UserType(std::string text);
  void UserChoose(int index);

  std::function<void()> OnChange;

 private:
  std::vector<std::string> items_;
  std::string text_;
};

class Edit : public Control {
 public:
  Edit(Form& owner, std::string name, Bounds bounds, std::string text);
  const std::string& Text() const { return text_; }
  // From code: an upper-case field shows the text in upper case; the length limit applies to
  // typing only. OnChange runs, inside the caller's handler, exactly when the text changes.
  void SetText(std::string text);

  int MaxLength() const { return maxLength_; }  // 0: no limit
  void SetMaxLength(int maxLength);
  bool UpperCase() const { return upperCase_; }
  void SetUpperCase(bool upperCase);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);

  // Typing that leaves `text` in the field: cut to the length limit and upper-cased when the
  // field is; OnChange runs when the text changed. Ignored when read-only or disabled.
  void UserType(std::string text);

  std::function<void()> OnChange;

 private:
  std::string Shown(std::string text) const;

  std::string text_;
  int maxLength_ = 0;
  bool upperCase_ = false;
  bool readOnly_ = false;
};

// A multi-line edit whose lines are a line list.
class Memo : public Control {
 public:
  Memo(Form& owner, std::string name, Bounds bounds);
  // The lines, for reading and changing from code.
  text::LineList& Lines() {
    Changed();
    return lines_;
  }
  const text::LineList& Lines() const { return lines_; }

  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  bool VerticalScrollBar() const { return verticalScrollBar_; }
  void SetVerticalScrollBar(bool on);

  // Typing that leaves `text` in the box. Ignored when read-only or disabled.
  void UserType(std::string_view text);

 private:
  text::LineList lines_;
  bool readOnly_ = false;
  bool verticalScrollBar_ = false;
};

// The up/down arrows beside an edit, stepping a number in the edit between two limits.
class SpinButton : public Control {
 public:
  SpinButton(Form& owner, std::string name, Bounds bounds, Edit& associate, int min, int max);
  Edit& Associate() const { return associate_; }
  int Min() const { return min_; }
  int Max() const { return max_; }

  // One step up or down, without wrapping. The step starts from the edit's number, or from the
  // last position when the edit holds none.
  void UserStep(int delta);

 private:
  Edit& associate_;
  int min_;
  int max_;
  int position_;
};

// A filled rectangle; the program's lamps.
class Shape : public Control {
 public:
  Shape(Form& owner, std::string name, Bounds bounds, Color brush);
  Color BrushColor() const { return brush_; }
  void SetBrushColor(Color color);

 private:
  Color brush_;
};

// A read-only plain-text viewer with a vertical scroll bar.
class RichEdit : public Control {
 public:
  RichEdit(Form& owner, std::string name, Bounds bounds, std::string text);
  const std::string& Text() const { return text_; }
  void SetText(std::string text);

 private:
  std::string text_;
};

// A 24-bit picture drawn at its own size from the top-left corner, clipped to the control.
class Image : public Control {
 public:
  Image(Form& owner, std::string name, Bounds bounds);
  int PictureWidth() const { return pictureWidth_; }
  int PictureHeight() const { return pictureHeight_; }
  // Rows top to bottom, each pixel as red, green, blue.
  const std::vector<std::uint8_t>& Pixels() const { return pixels_; }
  void SetPicture(int width, int height, std::vector<std::uint8_t> rgb);

 private:
  int pictureWidth_ = 0;
  int pictureHeight_ = 0;
  std::vector<std::uint8_t> pixels_;
};

}  // namespace ui
