// The main window's layout and handlers.
#include "app/Unit1.h"

#include "app/Unit2.h"
#include "link/parameters.h"
#include "text/convert.h"

namespace {

struct StaticLabel {
  const char* caption;
  int left;
  int top;
  int width;
  bool bold;
};

// Every static label of the window; titles are bold.
constexpr StaticLabel kLabels[] = {
    {"Параметры порта", 8, 8, 145, true},
    {"Порт", 8, 28, 72, false},
    {"Скорость", 8, 48, 72, false},
    {"Чётность", 8, 68, 72, false},
    {"Стоп-биты", 8, 88, 72, false},
    {"Управление сигналами", 8, 140, 145, true},
    {"Ид. сети (hex)", 8, 208, 100, false},
    {"Преамбула,", 8, 224, 100, false},
    {"два байта (hex)", 28, 240, 82, false},
    {"Параметры TX", 164, 8, 120, true},
    {"Дл. преамбулы", 164, 28, 82, false},
    {"Отправ. (hex)", 164, 56, 78, false},
    {"Получ. (hex)", 164, 76, 78, false},
    {"Маршр. ретрансл.", 164, 100, 120, true},
    {"Ретр. 1 (hex)", 164, 124, 78, false},
    {"Ретр. 2 (hex)", 164, 144, 78, false},
    {"Ретр. 3 (hex)", 164, 164, 78, false},
    {"Ретр. 4 (hex)", 164, 184, 78, false},
    {"Ретр. 5 (hex)", 164, 204, 78, false},
    {"Буфер TX", 288, 8, 62, true},
    {"Параметры RX", 360, 8, 120, true},
    {"Отправ. (hex)", 360, 68, 78, false},
    {"Получ. (hex)", 360, 88, 78, false},
    {"Проверка пакета", 360, 112, 120, true},
    {"Фрейм", 388, 132, 60, false},
    {"Биты", 388, 148, 60, false},
    {"CRC", 388, 164, 60, false},
    {"Принято байтов:", 360, 184, 120, true},
    {"в посл. пакете", 360, 208, 82, false},
    {"прикл. уровня", 360, 232, 82, false},
    {"Буфер RX", 484, 8, 62, true},
};

constexpr int kLabelHeight = 13;

}  // namespace

TForm1::TForm1(ui::Application& app, std::filesystem::path workDir)
    : ui::Form(app),
      Bevel3(*this, "Bevel3", {0, 4, 157, 129}),
      Bevel4(*this, "Bevel4", {0, 136, 157, 61}),
      Bevel5(*this, "Bevel5", {0, 200, 157, 61}),
      ComboBox1(*this, "ComboBox1", {84, 24, 69, 21}, {"COM1", "COM2", "COM3", "COM4"}, "COM2"),
      ComboBox2(*this, "ComboBox2", {84, 44, 69, 21},
                {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400",
                 "56000", "57600", "115200", "128000", "256000"},
                "9600"),
      ComboBox3(*this, "ComboBox3", {84, 64, 69, 21}, {"NO", "EVEN", "ODD", "MARK", "SPACE"}, "NO"),
      ComboBox4(*this, "ComboBox4", {84, 84, 69, 21}, {"1", "1.5", "2"}, "1"),
      CheckBox4(*this, "CheckBox4", {8, 112, 97, 17}, "Открыть порт"),
      CheckBox1(*this, "CheckBox1", {8, 156, 109, 17}, "Установить DTR"),
      CheckBox2(*this, "CheckBox2", {8, 176, 109, 17}, "Установить RTS"),
      Edit2(*this, "Edit2", {112, 204, 41, 21}, "0000"),
      Edit14(*this, "Edit14", {112, 236, 41, 21}, "B24D"),
      Button4(*this, "Button4", {0, 264, 157, 25}, "Обо мне..."),
      Button3(*this, "Button3", {0, 292, 157, 25}, "Выход"),
      Bevel1(*this, "Bevel1", {160, 4, 193, 313}),
      Edit5(*this, "Edit5", {248, 24, 21, 21}, "0"),
      UpDown1(*this, "UpDown1", {269, 24, 15, 21}, Edit5, 0, 80),
      Edit3(*this, "Edit3", {244, 52, 41, 21}, "0001"),
      Edit4(*this, "Edit4", {244, 72, 41, 21}, "0002"),
      Edit7(*this, "Edit7", {244, 120, 41, 21}, ""),
      Edit8(*this, "Edit8", {244, 140, 41, 21}, ""),
      Edit9(*this, "Edit9", {244, 160, 41, 21}, ""),
      Edit10(*this, "Edit10", {244, 180, 41, 21}, ""),
      Edit11(*this, "Edit11", {244, 200, 41, 21}, ""),
      CheckBox6(*this, "CheckBox6", {164, 228, 117, 17}, "Очищать буфер RX"),
      Button1(*this, "Button1", {164, 288, 121, 25}, "Передать"),
      Memo1(*this, "Memo1", {288, 24, 61, 289}),
      Bevel2(*this, "Bevel2", {356, 4, 193, 313}),
      CheckBox5(*this, "CheckBox5", {360, 24, 113, 17}, "Принимать битые"),
      CheckBox3(*this, "CheckBox3", {360, 44, 121, 17}, "Записывать в файл"),
      Edit12(*this, "Edit12", {440, 64, 41, 21}, ""),
      Edit13(*this, "Edit13", {440, 84, 41, 21}, ""),
      Shape1(*this, "Shape1", {360, 136, 17, 5}, kLampGrey),
      Shape2(*this, "Shape2", {360, 152, 17, 5}, kLampGrey),
      Shape3(*this, "Shape3", {360, 168, 17, 5}, kLampGrey),
      Edit1(*this, "Edit1", {444, 204, 37, 21}, "0"),
      Edit6(*this, "Edit6", {444, 228, 37, 21}, "0"),
      Button2(*this, "Button2", {360, 288, 121, 25}, "Очистить"),
      Memo2(*this, "Memo2", {484, 24, 61, 289}),
      Timer1(app, 55),
      Timer2(app, 1000),
      Timer3(app, 250),
      Timer4(app, 250),
      Timer5(app, 250),
      workDir_(std::move(workDir)) {
  SetCaption("Tolvaner");
  SetClientSize(549, 318);
  SetFont("MS Sans Serif", 8);
  SetMainForm(true);

  for (const auto& l : kLabels) {
    auto label = std::make_unique<ui::Label>(
        *this, "", ui::Bounds{l.left, l.top, l.width, kLabelHeight}, l.caption);
    label->SetBold(l.bold);
    labels_.push_back(std::move(label));
  }

  for (ui::ComboBox* c : {&ComboBox1, &ComboBox2, &ComboBox3, &ComboBox4}) {
    c->SetTextColor(ui::kNavy);
  }
  for (ui::Edit* e : {&Edit2, &Edit3, &Edit4, &Edit7, &Edit8, &Edit9, &Edit10, &Edit11}) {
    e->SetUpperCase(true);
    e->SetMaxLength(4);
    e->SetTextColor(ui::kNavy);
  }
  Edit14.SetMaxLength(4);
  for (ui::Edit* e : {&Edit14, &Edit5}) {
    e->SetTextColor(ui::kNavy);
  }
  for (ui::Edit* e : {&Edit12, &Edit13, &Edit1, &Edit6}) {
    e->SetReadOnly(true);
    e->SetTabStop(false);
    e->SetTextColor(ui::kNavy);
  }
  Memo1.SetVerticalScrollBar(true);
  Memo1.SetTextColor(ui::kNavy);
  Memo2.SetVerticalScrollBar(true);
  Memo2.SetReadOnly(true);
  Memo2.SetTabStop(false);
  Memo2.SetTextColor(ui::kNavy);
  Button3.SetBold(true);
  Button1.SetEnabled(false);
  CheckBox1.SetEnabled(false);
  CheckBox2.SetEnabled(false);

  SetTabOrder({&ComboBox1, &ComboBox2, &ComboBox3, &ComboBox4, &CheckBox4, &CheckBox1, &CheckBox2,
               &Edit2,     &Edit14,    &Edit5,     &UpDown1,   &Edit3,     &Edit4,     &Edit7,
               &Edit8,     &Edit9,     &Edit10,    &Edit11,    &CheckBox6, &Memo1,     &Button1,
               &CheckBox5, &CheckBox3, &Button2,   &Button4,   &Button3});
  WireHandlers();
  FocusFirst();
}

TForm1::~TForm1() = default;

void TForm1::WireHandlers() {
  OnClose = [this] { FormClose(); };
  Edit2.OnExit = [this] { Edit2Exit(); };
  Edit14.OnChange = [this] { Edit14Change(); };
  Button3.OnClick = [this] { Button3Click(); };
  Button4.OnClick = [this] { Button4Click(); };
  Timer3.OnTimer = [this] { Timer3Timer(); };
  Timer4.OnTimer = [this] { Timer4Timer(); };
  Timer5.OnTimer = [this] { Timer5Timer(); };
}

void TForm1::FormCreate() {
  State.RxBusy = 0;
  // The seed follows the network-identifier field from the start, before the field is ever
  // left; the field itself is not rewritten here.
  if (auto id = protocol::ParseIdentifier(Edit2.Text())) {
    State.CrcSeed = protocol::CrcSeedOf(*id);
  }
}

void TForm1::FormClose() {}

void TForm1::Edit2Exit() {
  std::string text = Edit2.Text();
  protocol::ApplyNetworkIdText(text, State.CrcSeed);
  Edit2.SetText(text);
}

void TForm1::Edit14Change() {
  protocol::ApplyPreambleCode(Edit14.Text(), State.PreambleHigh, State.PreambleLow);
}

void TForm1::Button3Click() {
  App().Quit();
}

void TForm1::Button4Click() {
  if (Form2 != nullptr) {
    App().ShowModal(*Form2);
  }
}

void TForm1::LightLamp(ui::Shape& lamp, ui::Color color) {
  lamp.SetBrushColor(color);
  ui::Timer& reset = &lamp == &Shape1 ? Timer3 : &lamp == &Shape2 ? Timer4 : Timer5;
  reset.SetEnabled(true);
}

void TForm1::Timer3Timer() {
  Shape1.SetBrushColor(kLampGrey);
  Timer3.SetEnabled(false);
}

void TForm1::Timer4Timer() {
  Shape2.SetBrushColor(kLampGrey);
  Timer4.SetEnabled(false);
}

void TForm1::Timer5Timer() {
  Shape3.SetBrushColor(kLampGrey);
  Timer5.SetEnabled(false);
}
