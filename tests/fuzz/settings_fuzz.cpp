// Fuzz target for the settings loader: any bytes as tolvaner.par, loaded by the real window on the
// virtual backend. Whatever the file holds, the window must start, every field must stay within
// what it can hold, and the only thing said must be one failure report of the integer conversion.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include "app/Unit1.h"
#include "port/serial_port.h"
#include "settings/settings_file.h"
#include "tests/support/virtual_backend.h"
#include "ui/application.h"

namespace {

namespace fs = std::filesystem;

// One directory for the whole run: a new one per input would cost more than the load itself.
class WorkDir {
 public:
  WorkDir() {
    std::string pattern = (fs::temp_directory_path() / "tolvaner-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    path_ = pattern;
  }
  ~WorkDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

void Require(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "settings loader: %s\n", what);
    std::abort();
  }
}

// A text as one piece of the file can give it: no line feed, no NUL, at most one piece long.
bool FromOnePiece(std::string_view text) {
  return text.size() <= settings::kMaxPiece && text.find('\n') == std::string_view::npos &&
         text.find('\0') == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static WorkDir dir;
  {
    std::ofstream out(dir.Path() / settings::kFileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    Require(static_cast<bool>(out.flush()), "cannot write the input file");
  }

  fixtures::VirtualBackend backend;
  ui::Application app{"tolvaner", backend};
  TForm1 form(app, port::SystemSerial(), dir.Path());
  app.Dispatch([&form] { form.FormCreate(); });

  Require(backend.boxes.size() <= 1, "more than one box at start");
  const bool failed = !backend.boxes.empty();
  if (failed) {
    const auto& box = backend.boxes[0];
    Require(box.icon == ui::MessageIcon::Stop, "a box at start that is not the failure report");
    Require(std::string_view(box.text).ends_with("' is not a valid integer value."),
            "a failure at start other than the integer conversion");
  }

  for (const ui::Edit* field : {&form.Edit2, &form.Edit3, &form.Edit4, &form.Edit14}) {
    Require(field->Text().size() <= static_cast<std::size_t>(field->MaxLength()),
            "a field holds more than it takes");
  }
  for (const ui::Edit* field : {&form.Edit2, &form.Edit3, &form.Edit4, &form.Edit5, &form.Edit14}) {
    Require(FromOnePiece(field->Text()), "a field holds more than one piece of the file");
  }
  for (const ui::ComboBox* box :
       {&form.ComboBox1, &form.ComboBox2, &form.ComboBox3, &form.ComboBox4}) {
    Require(FromOnePiece(box->Text()), "a drop-down holds more than one piece of the file");
  }

  const std::string& name = form.State.PortName;
  Require(name.size() <= port::kMaxPortNameLength, "the port name overflows its field");
  // A failure in the lines ends the start before the port name is taken from the field.
  if (!failed) {
    const std::string& shown = form.ComboBox1.Text();
    Require(name == (shown.size() <= port::kMaxPortNameLength ? shown : std::string()),
            "the port name is neither the field's text nor refused");
  }
  Require(form.State.ParityCode <= port::kSpaceParity, "a parity code the port has not got");
  Require(form.State.StopBitsCode <= port::kTwoStopBits, "a stop-bit code the port has not got");
  Require(form.State.CrcSeed >= 0 && form.State.CrcSeed <= 0xFFFF, "a seed beyond 16 bits");
  Require(form.State.PortHandle == port::kInvalidHandle, "a port opened at start");
  return 0;
}
