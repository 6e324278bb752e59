// Stored-form kinds of the image control, so dialogs can describe it in their forms.
#pragma once

// Registers TPSCustomImage32 (abstract) and TPSImage32 with the form loader; call it from a
// form's constructor before its description is loaded. Calling it again does no harm.
void RegisterImageKinds();
