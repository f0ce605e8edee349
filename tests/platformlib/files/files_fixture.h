// Drive C on a temporary folder, the library's memory and file layers started, aborts captured.
#pragma once

#include <string>

#include "platformlib/files/filehandle.h"
#include "platformlib/core/memclass.h"
#include "support/drive_fixture.h"

inline std::string gAbortText;

class LibraryFilesTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    ASSERT_EQ(initmem(1 << 20), 1);
    gAbortText.clear();
    abortfilterhook = [](const char* text) {
      gAbortText += text;
      return 0;  // cancel: the failing call returns its failure value
    };
    ASSERT_EQ(initfiles(0), 1);
  }
  void TearDown() override {
    exitfiles();
    abortfilterhook = nullptr;
    exitmem();
    DriveTest::TearDown();
  }
};
