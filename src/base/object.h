// Base object, persistence and exceptions of the platform toolkit.
#pragma once
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

class TObject {
public:
    virtual ~TObject() = default;
    virtual const char* ClassName() const { return "TObject"; }
};

// Declares the class-name override; the name is what error messages print.
#define VP_CLASS_NAME(Name) \
    const char* ClassName() const override { return #Name; }

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Exceptions carry fixed English messages; the toolkit shows them in its error box.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    virtual const char* ClassName() const { return "Exception"; }
};
#define VP_EXCEPTION(Name)                                                 \
    class Name : public Exception {                                        \
    public:                                                                \
        explicit Name(const std::string& m) : Exception(m) {}              \
        const char* ClassName() const override { return #Name; }           \
    }
VP_EXCEPTION(EConvertError);
VP_EXCEPTION(EListError);
VP_EXCEPTION(EStreamError);
VP_EXCEPTION(EFCreateError);
VP_EXCEPTION(EFileInUse);
VP_EXCEPTION(EOutOfResources);
VP_EXCEPTION(EOutOfMemory);
VP_EXCEPTION(ETransformError);
VP_EXCEPTION(EInvalidOperation);

// "Assertion failure (Unit, line N)" or a bare message when no unit is given.
class EAssertionFailed : public Exception {
public:
    explicit EAssertionFailed(const std::string& message) : Exception(message) {}
    EAssertionFailed(const std::string& message, const std::string& unit, int line)
        : Exception(message + " (" + unit + ", line " + std::to_string(line) + ")") {}
    const char* ClassName() const override { return "EAssertionFailed"; }
};

class TFiler;

class TPersistent : public TObject {
public:
    VP_CLASS_NAME(TPersistent)
    // Copies Source into this object; the base asks Source to assign itself to us.
    virtual void Assign(TPersistent* Source);

protected:
    friend class TPersistentAccess;
    // Copies this object into Dest; the base reports that the assignment is impossible.
    virtual void AssignTo(TPersistent* Dest);
    virtual void DefineProperties(TFiler* /*Filer*/) {}
    // Raises EConvertError "Cannot assign a <source> to a <this>".
    [[noreturn]] void AssignError(TPersistent* Source);

public:
    // Lets a class forward to another object's protected AssignTo (the persistence fallback).
    static void CallAssignTo(TPersistent* Source, TPersistent* Dest) { Source->AssignTo(Dest); }
    static void CallDefineProperties(TPersistent* Obj, TFiler* Filer) { Obj->DefineProperties(Filer); }
};

// Implemented by toolkit graphics and controls whose size a map can be sized from.
class ISizeSource {
public:
    virtual ~ISizeSource() = default;
    virtual int SourceWidth() const = 0;
    virtual int SourceHeight() const = 0;
};
