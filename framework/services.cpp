// services.cpp - the process-wide set of platform services in force.
#include "services.h"

ServiceSet& Services() {
  // Filled once at start-up (InstallQtServices, or a test's doubles) before any other thread
  // runs; read-only afterwards, so the capture library's threads may use the clock.
  static ServiceSet services;
  return services;
}
