// Models and records as text, field by field, so that two of them compare by what they hold
// (a text field up to its terminator, a list by its items) and a difference reads plainly.
#ifndef TESTS_CONFIG_CFG_DESCRIBE_H
#define TESTS_CONFIG_CFG_DESCRIBE_H

#include <string>

#include "cfg_model.h"

// One record of kind 2..13 (kind 1: a variable), every byte outside the printable ones escaped.
std::string DescribeRecord(int32_t kind, const void *record);
// Every record of every enabled kind, read through the record interface; the variables by name.
std::string DescribeModel(XrCfg *cfg);

#endif
