// "Открыть порт", the parameter drop-downs, the signal lines, unplugging and "Выход", through
// real pseudo-terminals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tests/app/program.h"

namespace {

using fixtures::Program;
using fixtures::PtyPair;

TEST(PortControl, OpeningAMissingPortSaysSoOnceAndEnds) {
  Program p;
  p.OpenPort("/dev/tolvaner-none");
  EXPECT_EQ(p.backend.BoxTexts(), (std::vector<std::string>{"Ошибка открытия порта."}));
  EXPECT_EQ(p.backend.boxes[0].caption, "Tolvaner");
  EXPECT_EQ(p.backend.boxes[0].icon, ui::MessageIcon::None);
  EXPECT_TRUE(p.app.QuitRequested());
  // The sequence ran to its end: poll and controls are on, as after any open.
  EXPECT_TRUE(p.form1.Timer1.Enabled());
  EXPECT_TRUE(p.form1.Button1.Enabled());
  EXPECT_EQ(p.SettingsText(), "<no file>") << "the program ends without saving";
}

TEST(PortControl, OverLongNamesAreRefusedNotCut) {
  PtyPair far;
  // A name of exactly 15 characters that opens the device; one character more must not.
  const std::string fits = "/tmp/tvl" + std::to_string(100000 + ::getpid() % 900000) + "x";
  ASSERT_EQ(fits.size(), 15u);
  std::filesystem::remove(fits);
  std::filesystem::create_symlink(far.SlavePath(), fits);
  {
    Program p;
    p.OpenPort(fits + "0");
    EXPECT_EQ(p.backend.BoxTexts(), (std::vector<std::string>{"Ошибка открытия порта."}));
  }
  Program p;
  p.OpenPort(fits);
  EXPECT_TRUE(p.backend.boxes.empty()) << "the 15-character name itself opens";
  std::filesystem::remove(fits);
}

TEST(PortControl, OpensWithTheChosenParametersAndClosesOnAChange) {
  PtyPair far;
  Program p;
  p.form1.ComboBox2.UserChoose(12);  // 115200
  p.form1.ComboBox3.UserChoose(1);   // EVEN
  p.form1.ComboBox4.UserChoose(2);   // 2
  p.OpenPort(far.SlavePath());
  ASSERT_TRUE(p.backend.boxes.empty()) << p.backend.BoxTexts()[0];
  EXPECT_NE(p.form1.State.PortHandle, port::kInvalidHandle);
  EXPECT_TRUE(p.form1.Timer1.Enabled());
  EXPECT_TRUE(p.form1.Button1.Enabled() && p.form1.CheckBox1.Enabled());
  EXPECT_EQ(far.Settings().ospeed, 115200u);
  ASSERT_EQ(p.serial.settingsWritten.size(), 1u);
  EXPECT_EQ(p.serial.settingsWritten[0].Parity, port::kEvenParity);
  EXPECT_EQ(p.serial.settingsWritten[0].StopBits, port::kTwoStopBits);
  EXPECT_EQ(p.serial.settingsWritten[0].ByteSize, 8);

  // A new rate closes the port (and saves); the next open uses it.
  p.form1.ComboBox2.UserType("57600");
  EXPECT_FALSE(p.form1.CheckBox4.Checked());
  EXPECT_EQ(p.form1.State.PortHandle, port::kInvalidHandle);
  EXPECT_FALSE(p.form1.Timer1.Enabled());
  EXPECT_FALSE(p.form1.Button1.Enabled() || p.form1.CheckBox1.Enabled());
  EXPECT_NE(p.SettingsText().find("BAUD=57600\n"), std::string::npos);
  p.form1.CheckBox4.UserClick();
  EXPECT_EQ(far.Settings().ospeed, 57600u);
}

TEST(PortControl, TypingIntoTheParityFieldKeepsTheCodeAndClosesAtOnce) {
  PtyPair far;
  Program p;
  p.form1.ComboBox3.UserChoose(2);  // ODD
  p.OpenPort(far.SlavePath());
  int closesBefore = p.serial.closes;
  p.form1.ComboBox3.UserType("P");
  EXPECT_FALSE(p.form1.CheckBox4.Checked());
  EXPECT_EQ(p.serial.closes, closesBefore + 1);
  p.form1.ComboBox3.UserType("PA");
  p.form1.ComboBox3.UserType("PAR");
  EXPECT_EQ(p.form1.State.ParityCode, port::kOddParity);
  EXPECT_EQ(p.serial.closes, closesBefore + 1);
}

TEST(PortControl, BadBaudTextIsReportedAndTheRateKept) {
  Program p;
  p.form1.ComboBox2.UserType("");
  p.form1.ComboBox2.UserType("1");
  EXPECT_EQ(p.backend.BoxTexts(), (std::vector<std::string>{"'' is not a valid integer value."}));
  EXPECT_EQ(p.form1.State.BaudRate, 1);
}

TEST(PortControl, SignalLinesFollowTheirBoxes) {
  PtyPair far;
  Program p("DTR=ON\nRTS=OFF\n");
  EXPECT_TRUE(p.form1.CheckBox1.Checked());
  p.serial.lineRequests.clear();
  p.OpenPort(far.SlavePath());
  EXPECT_EQ(p.serial.lineRequests, (std::vector<int>{port::kSetDtr, port::kClearRts}));
  p.form1.CheckBox2.UserClick();
  p.form1.CheckBox1.UserClick();
  EXPECT_EQ(p.serial.lineRequests,
            (std::vector<int>{port::kSetDtr, port::kClearRts, port::kSetRts, port::kClearDtr}));
  EXPECT_TRUE(p.backend.boxes.empty()) << "pseudo-terminals refuse modem lines; nothing is said";
}

TEST(PortControl, UnplugClosesThePortWithinOnePoll) {
  PtyPair far;
  Program p;
  p.OpenPort(far.SlavePath());
  p.Poll();
  ASSERT_TRUE(p.form1.CheckBox4.Checked());
  far.Unplug();
  p.Poll();
  EXPECT_FALSE(p.form1.CheckBox4.Checked());
  EXPECT_EQ(p.form1.State.PortHandle, port::kInvalidHandle);
  EXPECT_FALSE(p.form1.Timer1.Enabled());
  EXPECT_TRUE(p.backend.boxes.empty()) << "no message storm";
  p.backend.Advance(5000);
  EXPECT_TRUE(p.backend.boxes.empty());

  // Once a device is back, checking the box opens it.
  PtyPair again;
  p.OpenPort(again.SlavePath());
  EXPECT_TRUE(p.form1.CheckBox4.Checked());
  EXPECT_TRUE(p.backend.boxes.empty());
}

TEST(PortControl, ExitOpensClosesSavesAndEnds) {
  PtyPair far;
  Program p;
  p.form1.ComboBox1.UserType(far.SlavePath());
  p.form1.Button3.UserClick();
  EXPECT_EQ(p.serial.opened, (std::vector<std::string>{far.SlavePath()}));
  EXPECT_EQ(p.serial.closes, 1);
  EXPECT_FALSE(p.form1.CheckBox4.Checked());
  EXPECT_TRUE(p.app.QuitRequested());
  EXPECT_NE(p.SettingsText().find("PORT=" + far.SlavePath() + "\n"), std::string::npos);
}

TEST(PortControl, ExitWithAMissingPortStillSaves) {
  Program p;
  p.form1.ComboBox1.UserType("/dev/tolvaner-none");
  p.form1.Button3.UserClick();
  EXPECT_EQ(p.backend.BoxTexts(), (std::vector<std::string>{"Ошибка открытия порта."}));
  EXPECT_NE(p.SettingsText().find("PORT=/dev/tolvaner-none\n"), std::string::npos);
}

TEST(PortControl, PortListOffersComPortsFirst) {
  Program p;
  const auto& items = p.form1.ComboBox1.Items();
  ASSERT_GE(items.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(items.begin(), items.begin() + 4),
            (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4"}));
}

}  // namespace
