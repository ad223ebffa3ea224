#pragma once

#include <QLatin1String>

// Gives a widget the object name that tests, style sheets and the saved
// layout find it by; returns it for use in one expression.
template <class T> T *Named(T *object, const char *name) {
  object->setObjectName(QLatin1String(name));
  return object;
}
