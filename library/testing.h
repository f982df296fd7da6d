// The library's insides as its own tests, tools, benchmarks and fuzzers see them: the
// library's state and internal calls (the surface, the message log, the render and wait
// observers), the platform's bitmaps, fonts, files and PNG pictures, the headless backend
// with its input calls, and kanvo-run's protocol. Only the kanvo_testing target can
// include it; programs get include/kanvo.h alone.
#pragma once

#include "kanvo_internal.h"
#include "platform/backend.h"
#include "platform/backends/headless/headless_backend.h"
#include "platform/bitmap.h"
#include "platform/dc.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/font.h"
#include "platform/font_lookup.h"
#include "platform/pixel_changes.h"
#include "platform/png.h"
#include "platform/run/run_protocol.h"
#include "platform/window.h"
