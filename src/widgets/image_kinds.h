// Stored-form kinds of the image controls, so dialogs can describe them in their forms.
#pragma once

// Registers TPSCustomImage32 (abstract), TPSImage32, TPSCustomImgView32 (abstract) and
// TPSImgView32 with the form loader; call it from a form's constructor before its
// description is loaded. Calling it again does no harm.
void RegisterImageKinds();
