#pragma once
// Library start-up and shut-down. Start-up registers the report classes for
// streaming, the built-in printable controls and export filters (each by one
// explicit function, in the documented order), creates the shared default
// data manager and seeds the pseudo-random generator; shut-down undoes them
// in reverse. It lives at the top of the core because it calls into every
// folder below.

namespace vorel {

// Safe to call more than once; later calls do nothing.
void InitializeLibrary();
void FinalizeLibrary();
bool LibraryInitialized();

} // namespace vorel
