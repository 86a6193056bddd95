// The About window's layout and text.
#include "app/Unit2.h"

#include "app/creator_picture.h"

const char* const kUsageNotes =
    "Эта программа принимает и передаёт данные через последовательный порт ПК, преобразуя их "
    "в протокол Tolvaner и обратно. Версия от 2 февраля 2005 г.\n"
    "\n"
    "Перед началом работы выберите параметры порта (порт, скорость, чётность, стоп-биты), "
    "идентификаторы сети, компьютера и удалённого устройства, затем отметьте «Открыть порт». "
    "Линиями DTR и RTS можно управлять флажками «Установить DTR» и «Установить RTS».\n"
    "\n"
    "Данные для передачи вводятся в «Буфер TX», по одному байту (две шестнадцатеричные цифры) "
    "в строке. Кнопка «Передать» преобразует их в кадр и отправляет в порт.\n"
    "\n"
    "Принятые данные показываются в «Буфере RX» и могут также записываться в файл "
    "tolvaner.rxd (флажок «Записывать в файл»).\n"
    "\n"
    "Буфер RX очищается сам, когда в нём набирается 4096 строк. Его можно очистить кнопкой "
    "«Очистить», а также перед каждой передачей, если отмечен флажок «Очищать буфер RX».\n"
    "\n"
    "Если одновременно запущено несколько копий программы, все они пишут в один и тот же "
    "файл.\n"
    "\n"
    "Программа распространяется бесплатно и без каких-либо гарантий.";

TForm2::TForm2(ui::Application& app)
    : ui::Form(app),
      RichEdit1(*this, "RichEdit1", {0, 4, 385, 205}, kUsageNotes),
      Bevel1(*this, "Bevel1", {388, 4, 129, 157}),
      Image1(*this, "Image1", {390, 6, 125, 153}),
      Label1(*this, "Label1", {396, 168, 116, 13}, "А это - мой Создатель."),
      Button1(*this, "Button1", {392, 184, 125, 25}, "OK") {
  SetCaption("Обо мне...");
  SetClientSize(518, 210);
  SetFont("MS Sans Serif", 8);
  RichEdit1.SetTabStop(false);
  RichEdit1.SetTextColor(ui::kNavy);
  const auto picture = CreatorPicture();
  Image1.SetPicture(picture.width, picture.height, picture.rgb);
  Button1.OnClick = [this] { Button1Click(); };
  FocusFirst();
}

void TForm2::Button1Click() {
  Close();
}
