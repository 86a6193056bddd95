// The main window's layout and handlers.
#include "app/Unit1.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <utility>

#include "app/Unit2.h"
#include "link/frame.h"
#include "link/parameters.h"
#include "link/transmit_buffer.h"
#include "settings/keys.h"
#include "settings/settings_file.h"
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

constexpr const char* kOpenError = "Ошибка открытия порта.";
constexpr const char* kInitError = "Ошибка инициализации порта.";
constexpr const char* kLogError =
    "Не удаётся записать файл tolvaner.rxd: принятые данные не сохраняются.";

// The platform's codes for the parity and stop-bit texts; other texts keep the current code.
void ParityFromText(const std::string& text, std::uint8_t& code) {
  if (text == "NO") {
    code = port::kNoParity;
  } else if (text == "EVEN") {
    code = port::kEvenParity;
  } else if (text == "MARK") {
    code = port::kMarkParity;
  } else if (text == "ODD") {
    code = port::kOddParity;
  } else if (text == "SPACE") {
    code = port::kSpaceParity;
  }
}

void StopBitsFromText(const std::string& text, std::uint8_t& code) {
  if (text == "1") {
    code = port::kOneStopBit;
  } else if (text == "1.5") {
    code = port::kOneAndHalfStopBits;
  } else if (text == "2") {
    code = port::kTwoStopBits;
  }
}

// A name too long for the port-name field is not cut (the cut name could be another device):
// it is kept out, so that opening fails with the open message.
std::string BoundedPortName(const std::string& text) {
  return text.size() <= port::kMaxPortNameLength ? text : std::string();
}

std::vector<std::string> PortItems() {
  std::vector<std::string> items = {"COM1", "COM2", "COM3", "COM4"};
  for (auto& device : port::UsbSerialDevices()) {
    items.push_back(std::move(device));
  }
  return items;
}

// An identifier field, padded with zeros and written back as it goes on the wire. A part that
// holds no hexadecimal number would give no defined byte: the transmission is refused instead.
std::uint16_t SentIdentifier(ui::Edit& field) {
  field.SetText(protocol::PadIdentifier(field.Text()));
  if (auto id = protocol::IdentifierFromParts(field.Text())) {
    return *id;
  }
  throw std::runtime_error("'" + field.Text() + "' is not a valid hexadecimal identifier");
}

}  // namespace

TForm1::TForm1(ui::Application& app, port::SerialApi& serial, std::filesystem::path workDir)
    : ui::Form(app),
      Bevel3(*this, "Bevel3", {0, 4, 157, 129}),
      Bevel4(*this, "Bevel4", {0, 136, 157, 61}),
      Bevel5(*this, "Bevel5", {0, 200, 157, 61}),
      ComboBox1(*this, "ComboBox1", {84, 24, 69, 21}, PortItems(), "COM2"),
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
      LogNoticeTimer(app, 1),
      serial_(serial),
      receiver_(State, Memo6, Memo5, *this),
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

// A window that goes while its port is open lets the port go too (no settings are written).
TForm1::~TForm1() {
  serial_.Close(State.PortHandle);
}

void TForm1::WireHandlers() {
  OnClose = [this] { FormClose(); };
  ComboBox1.OnChange = [this] { ComboBox1Change(); };
  ComboBox2.OnChange = [this] { ComboBox2Change(); };
  ComboBox3.OnChange = [this] { ComboBox3Change(); };
  ComboBox4.OnChange = [this] { ComboBox4Change(); };
  CheckBox4.OnClick = [this] { CheckBox4Click(); };
  CheckBox1.OnClick = [this] { CheckBox1Click(); };
  CheckBox2.OnClick = [this] { CheckBox2Click(); };
  CheckBox3.OnClick = [this] { CheckBox3Click(); };
  Edit2.OnExit = [this] { Edit2Exit(); };
  Edit14.OnChange = [this] { Edit14Change(); };
  Memo1.OnExit = [this] { Memo1Exit(); };
  Button1.OnClick = [this] { Button1Click(); };
  Button2.OnClick = [this] { Button2Click(); };
  Button3.OnClick = [this] { Button3Click(); };
  Button4.OnClick = [this] { Button4Click(); };
  Timer1.OnTimer = [this] { Timer1Timer(); };
  Timer2.OnTimer = [this] { Timer2Timer(); };
  Timer3.OnTimer = [this] { Timer3Timer(); };
  Timer4.OnTimer = [this] { Timer4Timer(); };
  Timer5.OnTimer = [this] { Timer5Timer(); };
  LogNoticeTimer.OnTimer = [this] { LogNoticeTimerTimer(); };
}

void TForm1::FormCreate() {
  State.RxBusy = 0;
  LoadSettings();
  State.PortName = BoundedPortName(ComboBox1.Text());
  State.BaudRate = text::StrToInt(ComboBox2.Text());
  ParityFromText(ComboBox3.Text(), State.ParityCode);
  StopBitsFromText(ComboBox4.Text(), State.StopBitsCode);
  // The seed follows the network-identifier field from the start, before the field is ever
  // left; the field itself is not rewritten here.
  if (auto id = protocol::ParseIdentifier(Edit2.Text())) {
    State.CrcSeed = protocol::CrcSeedOf(*id);
  }
}

void TForm1::LoadSettings() {
  const auto lines = settings::ReadLines(workDir_);
  if (!lines) {
    return;  // no settings file: every control keeps its default
  }
  // A hand-edited file may hold more than a field takes; the field keeps what it can use.
  auto fieldText = [](const ui::Edit& field, const std::string& value) {
    return field.MaxLength() > 0 ? value.substr(0, static_cast<std::size_t>(field.MaxLength()))
                                 : value;
  };
  for (const auto& line : *lines) {
    bool preambleCodeSet = false;
    for (const auto& [key, value] : settings::MatchKeys(line)) {
      using settings::Key;
      if (key > Key::PreambleCode && !preambleCodeSet) {
        preambleCodeSet = true;
        Edit14.SetText(text::FormatHex2(State.PreambleHigh) + text::FormatHex2(State.PreambleLow));
      }
      switch (key) {
        case Key::Port:
          ComboBox1.SetText(value);
          break;
        case Key::Baud:
          ComboBox2.SetText(value);
          break;
        case Key::Parity:
          ComboBox3.SetText(value);
          break;
        case Key::StopBits:
          ComboBox4.SetText(value);
          break;
        case Key::DtrOn:
          CheckBox1.SetChecked(true);
          break;
        case Key::DtrOff:
          CheckBox1.SetChecked(false);
          break;
        case Key::RtsOn:
          CheckBox2.SetChecked(true);
          break;
        case Key::RtsOff:
          CheckBox2.SetChecked(false);
          break;
        case Key::RxClearYes:
          CheckBox6.SetChecked(true);
          break;
        case Key::RxClearNo:
          CheckBox6.SetChecked(false);
          break;
        case Key::RxBadYes:
          CheckBox5.SetChecked(true);
          break;
        case Key::RxBadNo:
          CheckBox5.SetChecked(false);
          break;
        case Key::RxToFileYes:
          CheckBox3.SetChecked(true);
          break;
        case Key::RxToFileNo:
          CheckBox3.SetChecked(false);
          break;
        case Key::AboutYes:
          State.AboutEnabled = 1;
          Button4.SetEnabled(true);
          break;
        case Key::AboutNo:
          State.AboutEnabled = 0;
          Button4.SetEnabled(false);
          break;
        case Key::NetId:
          Edit2.SetText(fieldText(Edit2, value));
          break;
        case Key::TxFromId:
          Edit3.SetText(fieldText(Edit3, value));
          break;
        case Key::TxToId:
          Edit4.SetText(fieldText(Edit4, value));
          break;
        case Key::PreambleLength:
          Edit5.SetText(value);
          break;
        case Key::PreambleCode:
          preambleCodeSet = true;
          Edit14.SetText(fieldText(Edit14, value));
          break;
        case Key::Timeout:
          Timer2.SetInterval(text::StrToInt(value));
          break;
      }
    }
    // A line without the preamble code sets the field from the current bytes.
    if (!preambleCodeSet) {
      Edit14.SetText(text::FormatHex2(State.PreambleHigh) + text::FormatHex2(State.PreambleLow));
    }
  }
}

void TForm1::SaveSettings() {
  const settings::Values values{
      .port = ComboBox1.Text(),
      .baud = ComboBox2.Text(),
      .parity = ComboBox3.Text(),
      .stopBits = ComboBox4.Text(),
      .dtr = CheckBox1.Checked(),
      .rts = CheckBox2.Checked(),
      .rxClear = CheckBox6.Checked(),
      .rxBad = CheckBox5.Checked(),
      .rxToFile = CheckBox3.Checked(),
      .about = State.AboutEnabled != 0,
      .netId = Edit2.Text(),
      .txFromId = Edit3.Text(),
      .txToId = Edit4.Text(),
      .preambleLength = Edit5.Text(),
      .preambleCode = Edit14.Text(),
      .timeout = Timer2.Interval(),
  };
  // A save that fails leaves the old file whole; as before, nothing is reported.
  (void)settings::Save(workDir_, values);
}

void TForm1::FormClose() {
  (void)State.LogFile.Close();
}

void TForm1::ComboBox1Change() {
  CheckBox4.SetChecked(false);
  State.PortName = BoundedPortName(ComboBox1.Text());
}

void TForm1::ComboBox2Change() {
  CheckBox4.SetChecked(false);
  State.BaudRate = text::StrToInt(ComboBox2.Text());
}

void TForm1::ComboBox3Change() {
  CheckBox4.SetChecked(false);
  ParityFromText(ComboBox3.Text(), State.ParityCode);
}

void TForm1::ComboBox4Change() {
  CheckBox4.SetChecked(false);
  StopBitsFromText(ComboBox4.Text(), State.StopBitsCode);
}

void TForm1::CheckBox4Click() {
  if (CheckBox4.Checked()) {
    OpenSequence();
  } else {
    CloseSequence();
  }
}

void TForm1::CheckBox1Click() {
  (void)serial_.RequestLine(State.PortHandle,
                            CheckBox1.Checked() ? port::kSetDtr : port::kClearDtr);
}

void TForm1::CheckBox2Click() {
  (void)serial_.RequestLine(State.PortHandle,
                            CheckBox2.Checked() ? port::kSetRts : port::kClearRts);
}

void TForm1::CheckBox3Click() {
  State.LogSeparatorPending = 1;
  logFailureShown_ = false;
}

void TForm1::OpenFailed(const char* message) {
  App().MessageDialog(message);
  App().Quit();
}

// Every step runs even after an earlier one failed: a failed open then fails each later step
// with its own message, which the quit request keeps off the screen.
void TForm1::OpenSequence() {
  State.PortHandle = serial_.Open(State.PortName);
  if (State.PortHandle == port::kInvalidHandle) {
    OpenFailed(kOpenError);
  }
  if (!serial_.SetQueueSizes(State.PortHandle, 256, 256)) {
    OpenFailed(kOpenError);
  }
  if (!serial_.GetSettings(State.PortHandle, State.PortDcb)) {
    OpenFailed(kOpenError);
  }
  State.PortDcb.BaudRate = State.BaudRate;
  State.PortDcb.Parity = State.ParityCode;
  State.PortDcb.StopBits = State.StopBitsCode;
  State.PortDcb.ByteSize = 8;
  if (!serial_.SetSettings(State.PortHandle, State.PortDcb)) {
    OpenFailed(kInitError);
  }
  if (!serial_.GetTimeouts(State.PortHandle, State.PortTimeouts)) {
    OpenFailed(kInitError);
  }
  State.PortTimeouts = port::Timeouts{};
  if (!serial_.SetTimeouts(State.PortHandle, State.PortTimeouts)) {
    OpenFailed(kInitError);
  }
  Timer1.SetEnabled(true);
  Button1.SetEnabled(true);
  CheckBox1.SetEnabled(true);
  CheckBox2.SetEnabled(true);
  (void)serial_.RequestLine(State.PortHandle,
                            CheckBox1.Checked() ? port::kSetDtr : port::kClearDtr);
  (void)serial_.RequestLine(State.PortHandle,
                            CheckBox2.Checked() ? port::kSetRts : port::kClearRts);
}

void TForm1::CloseSequence() {
  Timer1.SetEnabled(false);
  serial_.Close(State.PortHandle);
  State.PortHandle = port::kInvalidHandle;
  Button1.SetEnabled(false);
  CheckBox1.SetEnabled(false);
  CheckBox2.SetEnabled(false);
  SaveSettings();
}

void TForm1::Edit2Exit() {
  std::string text = Edit2.Text();
  protocol::ApplyNetworkIdText(text, State.CrcSeed);
  Edit2.SetText(text);
}

void TForm1::Edit14Change() {
  protocol::ApplyPreambleCode(Edit14.Text(), State.PreambleHigh, State.PreambleLow);
}

void TForm1::Memo1Exit() {
  protocol::NormaliseBuffer(Memo1.Lines());
}

void TForm1::Button1Click() {
  if (CheckBox6.Checked()) {
    Button2Click();
  }
  Memo3.Clear();
  Memo4.Clear();
  protocol::CleanBuffer(Memo1.Lines());

  // Everything that can fail is settled before the first byte goes out, so a refused
  // transmission writes nothing.
  const std::int32_t preambleLength = text::StrToInt(Edit5.Text());
  const std::uint16_t receiver = SentIdentifier(Edit4);
  const std::uint16_t sender = SentIdentifier(Edit3);
  // The header carries the retransmitters last hop first; the route lists them first hop first.
  std::vector<std::uint16_t> route;
  for (ui::Edit* field : {&Edit11, &Edit10, &Edit9, &Edit8, &Edit7}) {
    if (!field->Text().empty()) {
      route.insert(route.begin(), SentIdentifier(*field));
    }
  }
  std::vector<std::uint8_t> payload;
  const auto& lines = std::as_const(Memo1).Lines();
  for (int i = 0; i < lines.Count(); ++i) {
    const auto byte = protocol::LineByte(lines.Get(i));
    if (!byte) {
      throw std::runtime_error("'" + lines.Get(i) + "' is not a valid hexadecimal byte");
    }
    payload.push_back(*byte);
  }

  const auto packet = protocol::BuildPacket(receiver, sender, route, payload);
  for (std::uint8_t b : packet) {
    Memo4.Add(text::FormatHex2(b));
  }
  const auto blocks = protocol::BuildBlockStream(packet, static_cast<std::uint32_t>(State.CrcSeed));
  for (std::uint8_t b : blocks) {
    Memo3.Add(std::to_string(b));
  }
  const protocol::Preamble preamble{
      .high = State.PreambleHigh, .low = State.PreambleLow, .pairs = preambleLength};
  protocol::WriteFrame(State.TxChunk, preamble, blocks,
                       [this](std::span<const std::uint8_t> bytes) {
                         // As on the line itself, a failed or timed-out write is not reported.
                         (void)serial_.Write(State.PortHandle, bytes);
                       });
}

void TForm1::Button2Click() {
  Memo2.Lines().Clear();
  Memo5.Clear();
  Memo6.Clear();
  Edit1.SetText("0");
  Edit6.SetText("0");
  Edit12.SetText("");
  Edit13.SetText("");
}

void TForm1::Button3Click() {
  CheckBox4.SetChecked(true);
  CheckBox4.SetChecked(false);
  App().Quit();
}

void TForm1::Button4Click() {
  if (Form2 != nullptr) {
    App().ShowModal(*Form2);
  }
}

void TForm1::Timer1Timer() {
  if (State.RxBusy != 0) {
    return;
  }
  State.RxBusy = 1;
  bool logFailed = false;
  try {
    Poll();
  } catch (...) {
    // A failure must not leave the poll half done: the guard is released, the log closed and
    // polling goes on; the failure itself is reported as any handler's is.
    State.RxBusy = 0;
    (void)State.LogFile.Close();
    throw;
  }
  if (State.LogFile.IsOpen()) {
    const bool hadLines = State.LogFile.HasLines();
    if (!State.LogFile.Close()) {
      logFailed = true;
    } else if (hadLines) {
      // Only lines that reached the file show that logging works again; an open alone does not
      // (a full disk opens, then refuses every append).
      logFailureShown_ = false;
    }
  }
  if (CheckBox3.Checked() && logOpenFailed_) {
    logFailed = true;
  }
  State.RxBusy = 0;
  // Said once, and from a timer of its own: a timer does not fire again while its own handler
  // holds a box open, and the poll must go on while the user reads this one.
  if (logFailed && !logFailureShown_) {
    logFailureShown_ = true;
    LogNoticeTimer.SetEnabled(true);
  }
}

void TForm1::LogNoticeTimerTimer() {
  LogNoticeTimer.SetEnabled(false);
  App().MessageDialog(kLogError);
}

void TForm1::Poll() {
  logOpenFailed_ = false;
  bool logOpened = false;
  std::size_t taken = 0;
  // Ten bits a byte on the line; the port's rate may be any number the user typed.
  const std::size_t linePerPoll = static_cast<std::size_t>(
      std::clamp<std::int64_t>(std::int64_t{State.BaudRate} / 10 * Timer1.Interval() / 1000, 0,
                               static_cast<std::int64_t>(kPollByteCap)));
  constexpr auto kGraceLook = std::chrono::microseconds(500);
  // Slower lines never outrun the driver's hand-off between two polls: no need to look again.
  constexpr std::size_t kDriverHandOff = 4096;
  auto graceLeft = std::chrono::steady_clock::duration(std::chrono::milliseconds(2));
  while (taken < kPollByteCap) {
    std::uint32_t queued = 0;
    if (!serial_.GetStatus(State.PortHandle, State.CommErrors, queued)) {
      if (State.PortHandle != port::kInvalidHandle) {
        // The device went away (an adapter pulled out): the window says so by closing the
        // port, as if the user had unchecked the box.
        CheckBox4.SetChecked(false);
      }
      return;
    }
    // A queue that runs dry while this poll has taken less than the line carries in a poll
    // period may be refilling: a driver hands bytes on in its own time (Linux moves them into a
    // 4 KiB line buffer from a worker thread). Ending the poll at once would leave part of a
    // fast line's traffic behind at every poll until the driver's buffer overflows, so the poll
    // looks again for a moment, within a small budget that keeps the window responsive.
    if (queued == 0 && taken > 0 && taken < linePerPoll && linePerPoll > kDriverHandOff &&
        graceLeft.count() > 0) {
      const auto start = std::chrono::steady_clock::now();
      auto now = start;
      bool alive = true;
      do {
        std::this_thread::sleep_for(std::chrono::microseconds(50));  // the driver needs the CPU
        now = std::chrono::steady_clock::now();
        alive = serial_.GetStatus(State.PortHandle, State.CommErrors, queued);
      } while (alive && queued == 0 && now - start < kGraceLook);
      graceLeft -= now - start;
      if (!alive) {
        continue;  // the status check above deals with a device gone
      }
    }
    if (queued == 0) {
      return;
    }
    const auto want = std::min<std::size_t>({queued, State.RxChunk.size(), kPollByteCap - taken});
    const int got = serial_.Read(State.PortHandle, std::span(State.RxChunk).first(want));
    if (got <= 0) {
      return;
    }
    if (!logOpened && CheckBox3.Checked()) {
      logOpened = true;
      logOpenFailed_ = !State.LogFile.Open(workDir_);
    }
    for (int i = 0; i < got; ++i) {
      ReceiveByte(State.RxChunk[static_cast<std::size_t>(i)]);
    }
    taken += static_cast<std::size_t>(got);
  }
}

void TForm1::ReceiveByte(std::uint8_t byte) {
  if (State.LogSeparatorPending != 0) {
    State.LogFile.WriteSeparator();  // nothing when the log is not open
    State.LogSeparatorPending = 0;
  }
  if (std::as_const(Memo2).Lines().Count() > 4095) {
    Button2Click();
  }
  receiver_.Step(byte, {.crcSeed = State.CrcSeed, .acceptDamaged = CheckBox5.Checked()});
}

void TForm1::Timer2Timer() {
  receiver_.TimeOut();
}

void TForm1::FrameStarted() {
  Edit1.SetText("0");
  Timer2.SetEnabled(true);
}

void TForm1::FrameLengthChanged(int bytes) {
  Edit1.SetText(std::to_string(bytes));
}

void TForm1::FrameEnded(protocol::FrameEnd) {
  Timer2.SetEnabled(false);
}

void TForm1::LightLamp(protocol::Lamp lamp, bool good) {
  ui::Shape& shape = lamp == protocol::Lamp::Frame  ? Shape1
                     : lamp == protocol::Lamp::Bits ? Shape2
                                                    : Shape3;
  LightLamp(shape, good ? kLampGreen : kLampRed);
}

void TForm1::ShowIdentifiers(std::uint16_t receiver, std::uint16_t sender) {
  Edit13.SetText(text::FormatHex4(receiver));
  Edit12.SetText(text::FormatHex4(sender));
}

void TForm1::ClearIdentifiers() {
  Edit12.SetText("");
  Edit13.SetText("");
}

void TForm1::Deliver(const std::string& line) {
  Memo2.Lines().Add(line);
  if (CheckBox3.Checked()) {
    State.LogFile.WriteByteLine(line);
  }
}

void TForm1::PacketChecked(const protocol::PacketReport&) {
  Edit6.SetText(std::to_string(std::as_const(Memo2).Lines().Count()));
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
