// The About window: its layout, its keys, and reception going on while it is open.
#include <gtest/gtest.h>

#include "tests/app/program.h"

namespace {

using fixtures::Program;

TEST(AboutWindow, LayoutAndPicture) {
  Program p;
  auto& f = p.form2;
  EXPECT_EQ(f.Caption(), "Обо мне...");
  EXPECT_EQ(f.ClientWidth(), 518);
  EXPECT_EQ(f.ClientHeight(), 210);
  EXPECT_EQ(f.RichEdit1.GetBounds(), (ui::Bounds{0, 4, 385, 205}));
  EXPECT_EQ(f.Bevel1.GetBounds(), (ui::Bounds{388, 4, 129, 157}));
  EXPECT_EQ(f.Image1.GetBounds(), (ui::Bounds{390, 6, 125, 153}));
  EXPECT_EQ(f.Label1.Caption(), "А это - мой Создатель.");
  EXPECT_EQ(f.Button1.GetBounds(), (ui::Bounds{392, 184, 125, 25}));
  EXPECT_FALSE(f.RichEdit1.TabStop());
  EXPECT_EQ(f.Image1.PictureWidth(), 127);
  EXPECT_EQ(f.Image1.PictureHeight(), 175);
  EXPECT_EQ(f.Image1.Pixels().size(), 127u * 175u * 3u);
  EXPECT_EQ(f.FocusedControl(), &f.Button1);
}

TEST(AboutWindow, NotesCoverEveryPointInOrder) {
  const std::string notes = kUsageNotes;
  std::size_t at = 0;
  for (const char* point :
       {"последовательный порт", "Tolvaner", "2 февраля 2005", "Открыть порт", "DTR", "RTS",
        "Буфер TX", "Передать", "Буфере RX", "в файл", "4096", "Очистить", "Очищать буфер RX",
        "несколько копий", "бесплатно", "гарантий"}) {
    const auto found = notes.find(point, at);
    ASSERT_NE(found, std::string::npos) << point;
    at = found;
  }
}

TEST(AboutWindow, EnterClosesItEscapeDoesNotAndTimersRunMeanwhile) {
  Program p;
  int fired = 0;
  p.form1.Timer1.OnTimer = [&] { ++fired; };
  p.form1.Timer1.SetEnabled(true);
  bool openAfterEscape = false;
  bool openAfterEnter = true;
  p.backend.onModal = [&](ui::Form& about) {
    p.backend.Advance(550);
    about.UserKey(ui::Key::Escape);
    openAfterEscape = p.backend.ModalOpen(about);
    about.UserKey(ui::Key::Enter);
    openAfterEnter = p.backend.ModalOpen(about);
  };
  p.form1.Button4.UserClick();
  EXPECT_EQ(fired, 10);
  EXPECT_TRUE(openAfterEscape);
  EXPECT_FALSE(openAfterEnter);
}

}  // namespace
