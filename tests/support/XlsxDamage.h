#pragma once
#include "tests/support/UnreadableXls.h"  // unreadablePackages()
