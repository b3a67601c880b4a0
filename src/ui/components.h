#pragma once

// The program's look and its building blocks, for pages that use many of them.
#include "ui/dialoghelpers.h"
#include "ui/feedback.h"
#include "ui/panels.h"
#include "ui/segmentbutton.h"
#include "ui/tables.h"
#include "ui/theme.h"
