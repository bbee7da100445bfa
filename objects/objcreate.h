// objcreate.h - object creation: the creators registered by type, the factory
// the create request and form loading call, and the built-in Color object.
#pragma once

#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"

// A creator makes the object of its type from the creation record: the new
// record, or null with a negative code in *code.
typedef ObjectRecord* (*ObjectCreatorFn)(uint32_t type, ObjectCreateRecord* cr, int32_t* code);

void RegisterObjectCreator(uint32_t type, ObjectCreatorFn creator);
// The creator for types the client does not make: -3.
ObjectRecord* CreateNotSupported(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
// Asks the web view first (when the owner renders there), then the type's
// creator. The record, or null with the code (-3 for a type without creator).
ObjectRecord* ObjectCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);

// Destroys every live record at exit: windows first (with their children), then
// the rest; Ovars are not reported. The caller runs EventCleanup first.
void ObjectDestroyAll();
