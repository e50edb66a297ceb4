#include <gtest/gtest.h>

#include "platform/application.h"
#include "platform/graphics.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  EnsureGuiApplication();
  Application->Initialize();
  return RUN_ALL_TESTS();
}
