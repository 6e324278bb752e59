#include "base/object.h"

void TPersistent::Assign(TPersistent* Source)
{
    if (Source)
        Source->AssignTo(this);
    else
        AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest)
{
    Dest->AssignError(this);
}

void TPersistent::AssignError(TPersistent* Source)
{
    const char* source = Source ? Source->ClassName() : "nil";
    throw EConvertError(std::string("Cannot assign a ") + source + " to a " + ClassName());
}
