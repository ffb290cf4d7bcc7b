// The three file pickers against the real common dialogs: names of the wrong type bring
// the message and the same dialog again, names without an extension get the default one,
// cancelling keeps the working name, and only one clip picker opens at a time.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "ModalDriver.h"
#include "playback/VideoPlayer.h"
#include "ui/FilePickers.h"
#include "win32/Recorders.h"

namespace {

class FilePickersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A test before this one may have run the program to its end: no quit request, no
    // video file name, no messages left from it.
    ResetProgramState();
    owner_ = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                             nullptr, nullptr, nullptr);
    ASSERT_NE(owner_, nullptr);
    dir_ = TempPath("");
  }
  void TearDown() override { DestroyWindow(owner_); }

  std::string In(const char* name) const { return dir_ + name; }

  static void SetName(char (&field)[kCaptureNameCapacity], const std::string& name) {
    std::strcpy(field, name.c_str());
  }

  HWND owner_ = nullptr;
  std::string dir_;
};

void ExpectUnsupportedTypeMessages(size_t count, HWND owner) {
  ASSERT_EQ(RecordedMessages().size(), count);
  for (const RecordedMessage& m : RecordedMessages()) {
    EXPECT_EQ(m.text, "Not supported file type.");
    EXPECT_EQ(m.caption, "Corvan Telvista");
    EXPECT_EQ(m.style, 0x40010u);
    EXPECT_EQ(m.owner, owner);
  }
}

}  // namespace

TEST_F(FilePickersTest, StillPickerRefusesOtherTypesAndAddsBmpToABareName) {
  char working[kCaptureNameCapacity];
  SetName(working, "c:\\capture.bmp");
  std::string first, second;
  ModalDriver driver({PickInFileDialog("Save As", In("frame.jpg"), &first),
                      PickInFileDialog("Save As", In("frame"), &second)});
  PickStillFileName(owner_, working);
  EXPECT_EQ(driver.Pending(), 0u);
  ASSERT_EQ(driver.Seen().size(), 2u);
  // The dialog opens again on the working name (in its folder), not on the refused one.
  EXPECT_EQ(first, "capture.bmp");
  EXPECT_EQ(second, "capture.bmp");
  EXPECT_STREQ(working, In("frame.bmp").c_str());
  ExpectUnsupportedTypeMessages(1, owner_);
}

TEST_F(FilePickersTest, AviPickerKeepsTheNameOnCancelAndTakesAnyLetterCase) {
  char working[kCaptureNameCapacity];
  SetName(working, "c:\\capture.avi");
  {
    ModalDriver driver({CancelFileDialog("Save As")});
    PickAviFileName(owner_, working);
    EXPECT_EQ(driver.Pending(), 0u);
  }
  EXPECT_STREQ(working, "c:\\capture.avi");
  {
    ModalDriver driver({PickInFileDialog("Save As", In("clip.bmp")),
                        PickInFileDialog("Save As", In("clip.bmp.jpg")),
                        PickInFileDialog("Save As", In("Clip.Avi"))});
    PickAviFileName(owner_, working);
    EXPECT_EQ(driver.Pending(), 0u);
  }
  EXPECT_STREQ(working, In("Clip.Avi").c_str());
  ExpectUnsupportedTypeMessages(2, owner_);

  // A cancel after a refusal ends the loop with the name as it was.
  RecordedMessages().clear();
  {
    ModalDriver driver({PickInFileDialog("Save As", In("clip.txt")), CancelFileDialog("Save As")});
    PickAviFileName(owner_, working);
    EXPECT_EQ(driver.Pending(), 0u);
  }
  EXPECT_STREQ(working, In("Clip.Avi").c_str());
  ExpectUnsupportedTypeMessages(1, owner_);
}

TEST_F(FilePickersTest, ClipPickerOpensEmptyAndSetsTheVideoFileName) {
  for (const char* name : {"clip.avi", "other.AVI", "notes.txt"}) {
    if (FILE* f = std::fopen(In(name).c_str(), "wb")) std::fclose(f);
  }
  std::string initial = "unset";
  int nested = -1;
  {
    ModalDriver driver({{"Open",
                         [&](HWND dialog) {
                           initial = FileDialogName(dialog);
                           // A second request while this picker is up is refused at once.
                           nested = PickVideoFile(owner_);
                           TypeFileDialogName(dialog, In("notes.txt"));
                           PressButton(dialog, IDOK);
                         }},
                        PickInFileDialog("Open", In("clip"))});
    EXPECT_EQ(PickVideoFile(owner_), 1);
    EXPECT_EQ(driver.Pending(), 0u);
  }
  EXPECT_EQ(initial, "");
  EXPECT_EQ(nested, 0);
  EXPECT_STREQ(Playback.videoFileName, In("clip.avi").c_str());
  ExpectUnsupportedTypeMessages(1, owner_);

  // Cancelling returns 0, leaves the name and frees the picker for the next request.
  {
    ModalDriver cancel({CancelFileDialog("Open")});
    EXPECT_EQ(PickVideoFile(owner_), 0);
  }
  EXPECT_STREQ(Playback.videoFileName, In("clip.avi").c_str());
  {
    ModalDriver again({PickInFileDialog("Open", In("other.AVI"))});
    EXPECT_EQ(PickVideoFile(owner_), 1);
    EXPECT_EQ(again.Pending(), 0u);
  }
  EXPECT_STREQ(Playback.videoFileName, In("other.AVI").c_str());
}
