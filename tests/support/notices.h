// Records every message box shown while it lives, answering each with OK.
#pragma once
#include <vector>

#include "tests/support/robot.h"

typedef std::vector<robot::Notice> Notices;

class NoticeLog {
public:
    NoticeLog() { robot_.start(); }
    Notices stop()
    {
        robot_.stop();
        return robot_.notices();
    }

private:
    robot::Robot robot_;
};
