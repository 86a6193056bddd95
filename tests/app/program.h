// The program's two windows on the virtual-clock backend, started the way the entry starts them,
// in a temporary working directory and on the real port layer (with a record of its calls).
#pragma once

#include <chrono>
#include <filesystem>
#include <span>
#include <string>
#include <thread>

#include "app/Unit1.h"
#include "app/Unit2.h"
#include "tests/support/files.h"
#include "tests/support/pty.h"
#include "tests/support/recording_serial.h"
#include "tests/support/virtual_backend.h"
#include "ui/application.h"

namespace fixtures {

struct Program {
  // `settingsFile`, when given, is written as tolvaner.par before the window is created.
  explicit Program(std::optional<std::string> settingsFile = std::nullopt)
      : ready(dir, settingsFile), form1(app, serial, dir.Path()) {
    app.Dispatch([this] { form1.FormCreate(); });
    form1.SetAboutForm(&form2);
  }
  Program(const Program&) = delete;

  // Opens the port on `path` the way a user does: types the name, checks "Открыть порт".
  void OpenPort(const std::string& path) {
    form1.ComboBox1.UserType(path);
    form1.CheckBox4.UserClick();
  }

  // Sends bytes from the far end and waits (bounded) until the port has them all queued, so the
  // next poll sees exactly these bytes.
  void Arrive(PtyPair& far, std::span<const std::uint8_t> bytes) {
    std::uint32_t before = Queued();
    far.Inject(bytes);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Queued() < before + bytes.size() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
  std::uint32_t Queued() {
    std::uint32_t errors = 0;
    std::uint32_t queued = 0;
    (void)port::SystemSerial().GetStatus(form1.State.PortHandle, errors, queued);
    return queued;
  }
  // One receive poll.
  void Poll() { backend.Advance(55); }

  std::string SettingsText() const { return ReadFile(dir / "tolvaner.par").value_or("<no file>"); }

  struct Prepared {
    Prepared(TempDir& dir, const std::optional<std::string>& settingsFile) {
      if (settingsFile) {
        WriteFile(dir / "tolvaner.par", *settingsFile);
      }
    }
  };

  TempDir dir;
  Prepared ready;
  VirtualBackend backend;
  ui::Application app{"/usr/bin/tolvaner", backend};
  RecordingSerial serial;
  TForm1 form1;
  TForm2 form2{app};
};

// A program whose port is open on a pseudo-terminal; the test holds the far end.
struct Station {
  explicit Station(std::optional<std::string> settingsFile = std::nullopt)
      : p(std::move(settingsFile)) {
    p.OpenPort(far.SlavePath());
  }
  // The bytes arrive from the far end and the next poll reads them.
  void Receive(std::span<const std::uint8_t> bytes) {
    p.Arrive(far, bytes);
    p.Poll();
  }

  PtyPair far;
  Program p;
  TForm1& f = p.form1;
};

}  // namespace fixtures
