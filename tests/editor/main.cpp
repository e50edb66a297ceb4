#include <gtest/gtest.h>

#include "platform/graphics.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  EnsureGuiApplication();
  return RUN_ALL_TESTS();
}
