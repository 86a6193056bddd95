// The program's entry: the application, the main window, the About window, the message loop.
#include <exception>
#include <filesystem>

#include "app/Unit1.h"
#include "app/Unit2.h"
#include "ui/application.h"
#include "ui/qt/qt_backend.h"

int main(int argc, char** argv) {
  ui::qt::QtBackend backend(argc, argv);
  ui::Application app(argc > 0 ? argv[0] : "tolvaner", backend);
  try {
    TForm1 form1(app, port::SystemSerial(), std::filesystem::current_path());
    app.Dispatch([&form1] { form1.FormCreate(); });
    TForm2 form2(app);
    form1.SetAboutForm(&form2);
    app.Run(form1);
  } catch (const std::exception& e) {
    app.ShowFailure(e.what());
  }
  return 0;
}
