// The main window: its controls, the program state, and every handler of the program.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "link/receiver.h"
#include "port/serial_port.h"
#include "rxlog/log.h"
#include "text/line_list.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/timer.h"

class TForm2;

// Lamp colours, 0x00BBGGRR.
inline constexpr ui::Color kLampGrey = 0x808080;
inline constexpr ui::Color kLampGreen = 0x00FF00;
inline constexpr ui::Color kLampRed = 0x0000FF;

// The one record of the program's state, held by the main window. The receiver's registers come
// from the link layer, which works on them by reference.
struct ProgramState : protocol::ReceiverRegisters {
  port::Handle PortHandle = port::kInvalidHandle;
  std::string PortName = "COM2";  // at most port::kMaxPortNameLength characters
  std::int32_t BaudRate = 9600;
  std::uint8_t ParityCode = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t StopBitsCode = 0;  // 0 one, 1 one and a half, 2 two
  const std::string SettingsFileName = "tolvaner.par";
  const std::string LogFileName = "tolvaner.rxd";
  std::uint8_t LogSeparatorPending = 0;
  std::int32_t CrcSeed = 0xFFFF;  // 0xFFFF - network identifier
  std::uint8_t AboutEnabled = 1;
  std::uint8_t PreambleHigh = 0xB2;
  std::uint8_t PreambleLow = 0x4D;
  std::array<std::uint8_t, 256> RxChunk{};
  std::array<std::uint8_t, 256> TxChunk{};
  port::DeviceControl PortDcb;
  port::Timeouts PortTimeouts;
  std::uint32_t CommErrors = 0;
  std::uint8_t RxBusy = 0;
  rxlog::Log LogFile;  // open only during a receive poll
};

class TForm1 : public ui::Form, private protocol::ReceiverEvents {
 public:
  // `serial` is the port layer (the system's, or a wrapper in tests); `workDir` holds the
  // settings file and the log (the program passes its current directory).
  TForm1(ui::Application& app, port::SerialApi& serial, std::filesystem::path workDir);
  ~TForm1() override;

  // The About window, created after this one.
  void SetAboutForm(TForm2* form) { Form2 = form; }

  ProgramState State;

  // Port and link column.
  ui::Bevel Bevel3, Bevel4, Bevel5;
  ui::ComboBox ComboBox1, ComboBox2, ComboBox3, ComboBox4;
  ui::CheckBox CheckBox4, CheckBox1, CheckBox2;
  ui::Edit Edit2, Edit14;
  ui::Button Button4, Button3;
  // Transmit column.
  ui::Bevel Bevel1;
  ui::Edit Edit5;
  ui::SpinButton UpDown1;
  ui::Edit Edit3, Edit4, Edit7, Edit8, Edit9, Edit10, Edit11;
  ui::CheckBox CheckBox6;
  ui::Button Button1;
  ui::Memo Memo1;
  // Receive column.
  ui::Bevel Bevel2;
  ui::CheckBox CheckBox5, CheckBox3;
  ui::Edit Edit12, Edit13;
  ui::Shape Shape1, Shape2, Shape3;
  ui::Edit Edit1, Edit6;
  ui::Button Button2;
  ui::Memo Memo2;
  // The hidden lists: block list, packet list, payload list, received block stream.
  text::LineList Memo3, Memo4, Memo5, Memo6;

  ui::Timer Timer1, Timer2, Timer3, Timer4, Timer5;
  // Says, right after the poll that found it, that the log cannot be written.
  ui::Timer LogNoticeTimer;

  // Handlers.
  void FormCreate();
  void FormClose();
  void ComboBox1Change();
  void ComboBox2Change();
  void ComboBox3Change();
  void ComboBox4Change();
  void CheckBox4Click();
  void CheckBox1Click();
  void CheckBox2Click();
  void CheckBox3Click();
  void Edit2Exit();
  void Edit14Change();
  void Memo1Exit();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Timer1Timer();
  void Timer2Timer();
  void Timer3Timer();
  void Timer4Timer();
  void Timer5Timer();
  void LogNoticeTimerTimer();

  // A poll reads at most this many bytes, in chunks of RxChunk's size, so a fast line cannot
  // back up in the device while the window stays responsive.
  static constexpr std::size_t kPollByteCap = 64 * 1024;

  // Lights a lamp and starts its reset timer (a running one is not restarted).
  void LightLamp(ui::Shape& lamp, ui::Color color);

  const std::filesystem::path& WorkDir() const { return workDir_; }

 private:
  // Receiver events, wired to the lamps and fields.
  void FrameStarted() override;
  void FrameLengthChanged(int bytes) override;
  void FrameEnded(protocol::FrameEnd how) override;
  void LightLamp(protocol::Lamp lamp, bool good) override;
  void ShowIdentifiers(std::uint16_t receiver, std::uint16_t sender) override;
  void ClearIdentifiers() override;
  void Deliver(const std::string& line) override;
  void PacketChecked(const protocol::PacketReport& report) override;

  void WireHandlers();
  void OpenSequence();
  void CloseSequence();
  void OpenFailed(const char* message);
  void SaveSettings();
  void LoadSettings();
  // One poll's work; Timer1Timer wraps it so that a failure never leaves the poll half done.
  void Poll();
  void ReceiveByte(std::uint8_t byte);

  port::SerialApi& serial_;
  protocol::Receiver receiver_;
  TForm2* Form2 = nullptr;
  // Whether the user has been told that the log cannot be written, since logging was last
  // switched on or last worked: said once, not at every poll.
  bool logFailureShown_ = false;
  bool logOpenFailed_ = false;  // this poll found the log unwritable
  std::filesystem::path workDir_;
  std::vector<std::unique_ptr<ui::Label>> labels_;
};
