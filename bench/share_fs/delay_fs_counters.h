// The requests bench_delay_fs counts, by kind: one 64-bit counter each, in
// this order, in the file the benchmark shares with it. A look-up and a
// stat both reach it as getattr.
#pragma once

enum DelayFsCounter { kGetAttr, kOpenDir, kReadDir, kReleaseDir, kReadLink, kOther, kCounters };
