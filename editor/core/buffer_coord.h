#pragma once
// A position in the text: 1-based character index and line.
#include "editor/core/types.h"
