// The main window on the virtual-clock backend: its defaults, its fields and its lamps.
#include <gtest/gtest.h>

#include "tests/app/program.h"

namespace {

using fixtures::Program;

std::string TextOf(const ui::Control* c) {
  if (auto* e = dynamic_cast<const ui::Edit*>(c)) {
    return e->Text();
  }
  if (auto* b = dynamic_cast<const ui::ComboBox*>(c)) {
    return b->Text();
  }
  if (auto* b = dynamic_cast<const ui::Button*>(c)) {
    return b->Caption();
  }
  if (auto* b = dynamic_cast<const ui::CheckBox*>(c)) {
    return b->Caption() + (b->Checked() ? " [x]" : " [ ]");
  }
  if (auto* m = dynamic_cast<const ui::Memo*>(c)) {
    return m->Lines().Text();
  }
  return "";
}

TEST(MainWindow, StartsWithEveryDefault) {
  Program p;
  auto& f = p.form1;
  EXPECT_EQ(f.Caption(), "Tolvaner");
  EXPECT_EQ(f.ClientWidth(), 549);
  EXPECT_EQ(f.ClientHeight(), 318);
  struct Row {
    const char* name;
    ui::Bounds bounds;
    std::string text;
    bool enabled;
  };
  const Row rows[] = {
      {"ComboBox1", {84, 24, 69, 21}, "COM2", true},
      {"ComboBox2", {84, 44, 69, 21}, "9600", true},
      {"ComboBox3", {84, 64, 69, 21}, "NO", true},
      {"ComboBox4", {84, 84, 69, 21}, "1", true},
      {"CheckBox4", {8, 112, 97, 17}, "Открыть порт [ ]", true},
      {"CheckBox1", {8, 156, 109, 17}, "Установить DTR [ ]", false},
      {"CheckBox2", {8, 176, 109, 17}, "Установить RTS [ ]", false},
      {"Edit2", {112, 204, 41, 21}, "0000", true},
      {"Edit14", {112, 236, 41, 21}, "B24D", true},
      {"Button4", {0, 264, 157, 25}, "Обо мне...", true},
      {"Button3", {0, 292, 157, 25}, "Выход", true},
      {"Edit5", {248, 24, 21, 21}, "0", true},
      {"UpDown1", {269, 24, 15, 21}, "", true},
      {"Edit3", {244, 52, 41, 21}, "0001", true},
      {"Edit4", {244, 72, 41, 21}, "0002", true},
      {"Edit7", {244, 120, 41, 21}, "", true},
      {"Edit11", {244, 200, 41, 21}, "", true},
      {"CheckBox6", {164, 228, 117, 17}, "Очищать буфер RX [ ]", true},
      {"Button1", {164, 288, 121, 25}, "Передать", false},
      {"Memo1", {288, 24, 61, 289}, "", true},
      {"CheckBox5", {360, 24, 113, 17}, "Принимать битые [ ]", true},
      {"CheckBox3", {360, 44, 121, 17}, "Записывать в файл [ ]", true},
      {"Edit12", {440, 64, 41, 21}, "", true},
      {"Edit13", {440, 84, 41, 21}, "", true},
      {"Shape1", {360, 136, 17, 5}, "", true},
      {"Shape3", {360, 168, 17, 5}, "", true},
      {"Edit1", {444, 204, 37, 21}, "0", true},
      {"Edit6", {444, 228, 37, 21}, "0", true},
      {"Button2", {360, 288, 121, 25}, "Очистить", true},
      {"Memo2", {484, 24, 61, 289}, "", true},
  };
  for (const auto& row : rows) {
    const ui::Control* c = f.Find(row.name);
    ASSERT_NE(c, nullptr) << row.name;
    EXPECT_EQ(c->GetBounds(), row.bounds) << row.name;
    EXPECT_EQ(TextOf(c), row.text) << row.name;
    EXPECT_EQ(c->Enabled(), row.enabled) << row.name;
  }
  for (const ui::Edit* e : {&f.Edit12, &f.Edit13, &f.Edit1, &f.Edit6}) {
    EXPECT_TRUE(e->ReadOnly() && !e->TabStop()) << e->Name();
  }
  for (const ui::Edit* e : {&f.Edit2, &f.Edit3, &f.Edit4, &f.Edit7, &f.Edit11}) {
    EXPECT_TRUE(e->UpperCase() && e->MaxLength() == 4) << e->Name();
  }
  EXPECT_EQ(f.Edit14.MaxLength(), 4);
  EXPECT_TRUE(f.Memo2.ReadOnly() && !f.Memo2.TabStop());
  EXPECT_TRUE(f.Button3.Bold());
  for (const ui::Shape* s : {&f.Shape1, &f.Shape2, &f.Shape3}) {
    EXPECT_EQ(s->BrushColor(), kLampGrey);
  }
  EXPECT_EQ(f.Timer1.Interval(), 55);
  EXPECT_EQ(f.Timer2.Interval(), 1000);
  for (const ui::Timer* t : {&f.Timer1, &f.Timer2, &f.Timer3, &f.Timer4, &f.Timer5}) {
    EXPECT_FALSE(t->Enabled());
  }
  EXPECT_EQ(f.FocusedControl(), &f.ComboBox1);
  EXPECT_EQ(f.State.CrcSeed, 0xFFFF);
  EXPECT_EQ(f.State.PortName, "COM2");
  EXPECT_EQ(f.State.RxState, 1);
  EXPECT_TRUE(p.backend.boxes.empty());
}

TEST(MainWindow, TabOrderRunsAsListed) {
  Program p;
  auto& f = p.form1;
  std::vector<std::string> visited;
  for (int i = 0; i < 30; ++i) {
    visited.push_back(f.FocusedControl()->Name());
    f.UserKey(ui::Key::Tab);
  }
  // Disabled and non-tab-stop controls are skipped.
  const std::vector<std::string> cycle = {
      "ComboBox1", "ComboBox2", "ComboBox3", "ComboBox4", "CheckBox4", "Edit2",
      "Edit14",    "Edit5",     "Edit3",     "Edit4",     "Edit7",     "Edit8",
      "Edit9",     "Edit10",    "Edit11",    "CheckBox6", "Memo1",     "CheckBox5",
      "CheckBox3", "Button2",   "Button4",   "Button3"};
  for (std::size_t i = 0; i < visited.size(); ++i) {
    EXPECT_EQ(visited[i], cycle[i % cycle.size()]) << "step " << i;
  }
}

TEST(MainWindow, NetworkIdentifierFieldSetsTheSeedOnLeaving) {
  struct Row {
    const char* typed;
    std::string shown;
    std::int32_t seed;
  };
  const Row rows[] = {
      {"1234", "1234", 0xEDCB},
      {"A", "000A", 0xFFF5},
      {"", "0000", 0xFFFF},
      {"XYZ", "0000", 0xFFFF},
  };
  for (const auto& row : rows) {
    Program p;
    auto& f = p.form1;
    f.UserFocus(&f.Edit2);
    f.Edit2.UserType(row.typed);
    EXPECT_EQ(f.State.CrcSeed, 0xFFFF) << "typing alone changes nothing";
    f.UserFocus(&f.Edit14);
    EXPECT_EQ(f.Edit2.Text(), row.shown) << row.typed;
    EXPECT_EQ(f.State.CrcSeed, row.seed) << row.typed;
  }
}

TEST(MainWindow, NonHexIdentifierKeepsThePreviousOne) {
  Program p;
  auto& f = p.form1;
  f.UserFocus(&f.Edit2);
  f.Edit2.UserType("1234");
  f.UserFocus(&f.Edit14);
  f.UserFocus(&f.Edit2);
  f.Edit2.UserType("");
  f.UserFocus(&f.Edit14);
  EXPECT_EQ(f.Edit2.Text(), "1234");
  EXPECT_EQ(f.State.CrcSeed, 0xEDCB);
}

TEST(MainWindow, PreambleCodeFieldSetsTheBytesAsTyped) {
  Program p;
  auto& f = p.form1;
  f.Edit14.UserType("b24d");
  EXPECT_EQ(f.State.PreambleHigh, 0xB2);
  EXPECT_EQ(f.State.PreambleLow, 0x4D);
  f.Edit14.UserType("12");
  EXPECT_EQ(f.State.PreambleHigh, 0x12);
  EXPECT_EQ(f.State.PreambleLow, 0x4D);
  f.Edit14.UserType("1234");
  EXPECT_EQ(f.State.PreambleLow, 0x34);
}

TEST(MainWindow, SeedFollowsTheFieldAtCreation) {
  fixtures::VirtualBackend backend;
  ui::Application app{"tolvaner", backend};
  fixtures::TempDir dir;
  TForm1 form(app, port::SystemSerial(), dir.Path());
  form.Edit2.SetText("1234");
  form.FormCreate();
  EXPECT_EQ(form.State.CrcSeed, 0xEDCB);
  EXPECT_EQ(form.Edit2.Text(), "1234");
}

TEST(MainWindow, ClickRunsTheLeaveHandlerOfTheFocusedFieldFirst) {
  Program p;
  auto& f = p.form1;
  std::int32_t seedWhenAboutOpened = 0;
  p.backend.onModal = [&](ui::Form& about) {
    seedWhenAboutOpened = f.State.CrcSeed;
    about.Close();
  };
  f.UserFocus(&f.Edit2);
  f.Edit2.UserType("1234");
  f.Button4.UserClick();
  EXPECT_EQ(seedWhenAboutOpened, 0xEDCB);
}

TEST(MainWindow, LampsGoGreyTwoHundredFiftyMillisecondsAfterTheirFirstLighting) {
  Program p;
  auto& f = p.form1;
  f.LightLamp(f.Shape1, kLampGreen);
  p.backend.Advance(200);
  f.LightLamp(f.Shape1, kLampRed);
  f.LightLamp(f.Shape3, kLampGreen);
  EXPECT_EQ(f.Shape1.BrushColor(), kLampRed);
  p.backend.Advance(50);
  EXPECT_EQ(f.Shape1.BrushColor(), kLampGrey);
  EXPECT_EQ(f.Shape3.BrushColor(), kLampGreen);
  EXPECT_FALSE(f.Timer3.Enabled());
  p.backend.Advance(200);
  EXPECT_EQ(f.Shape3.BrushColor(), kLampGrey);
  EXPECT_EQ(f.Shape2.BrushColor(), kLampGrey);
}

TEST(MainWindow, ClosingByOtherMeansEndsTheProgram) {
  Program p;
  p.form1.UserClose();
  EXPECT_TRUE(p.app.QuitRequested());
}

}  // namespace
