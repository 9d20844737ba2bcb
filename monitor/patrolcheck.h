// The patrol's categories, each with its check. Apart from checks.h, so that the test seams
// can name a check without the checks themselves.
#pragma once

enum PatrolCheck {
    // First half, in the order a pass visits them.
    CHECK_STARTUP,
    CHECK_IEHELPERS,
    CHECK_HIDDEN,
    CHECK_SYSFILES,
    CHECK_STARTPAGE,
    CHECK_FILETYPES,
    // Second half.
    CHECK_TASKS,
    CHECK_WININIT,
    CHECK_SERVICES,
    CHECK_NUTS,
    CHECK_MOZILLA_NUTS,
    CHECK_COOKIES,
    // Every pass.
    CHECK_AUTOUPDATE,
    CHECK_COUNT
};

typedef void (*PatrolCheckFn)();
