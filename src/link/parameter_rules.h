#pragma once

#include "link/input_rule.h"

// What a parameter may be given where the program lets the user type or choose it: the range of
// the page box or options that edit it (pages whose boxes convert to 16-bit signed numbers take
// 0..32767), the box's name there, and whether a fraction rounds (a box) or not (options, where
// the name is empty: the options are named by their frame). A parameter no page edits takes what
// its frame carries, 0..65535.
const FieldRule& parameterRule(int id);
