// Systems without icon handles: an icon or cursor file decodes to no picture.
#include "pictures/picture.h"

namespace pictures {
namespace {
void* CreateNothing(const IconImage&) { return nullptr; }
}  // namespace
IconCreator PlatformIconCreator() { return CreateNothing; }
void DestroyIconHandle(void*) {}
}  // namespace pictures
