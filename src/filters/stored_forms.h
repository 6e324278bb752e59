// The stored form descriptions of the dialogs (src/filters/forms/*.txt), by resource name.
#pragma once

// Natively, registers every stored form as a compiled-in resource (idempotent); on Windows
// the module carries them as RCDATA resources and this does nothing.
void RegisterStoredForms();
