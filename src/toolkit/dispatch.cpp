#include "toolkit/dispatch.h"

namespace toolkit {
namespace {
int g_depth = 0;
} // namespace

Dispatch::Dispatch() { ++g_depth; }
Dispatch::~Dispatch() { --g_depth; }
int Dispatch::Depth() { return g_depth; }

} // namespace toolkit
