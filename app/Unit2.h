// The About window: the usage notes and a picture of the program's maker.
#pragma once

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

class TForm2 : public ui::Form {
 public:
  explicit TForm2(ui::Application& app);

  ui::RichEdit RichEdit1;
  ui::Bevel Bevel1;
  ui::Image Image1;
  ui::Label Label1;
  ui::Button Button1;

  // "OK": ends the modal showing.
  void Button1Click();
};

// The usage notes shown in the About window.
extern const char* const kUsageNotes;
