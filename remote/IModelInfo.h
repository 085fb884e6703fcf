#pragma once

#include <QString>
#include <QtGlobal>

namespace zostd {

// The instrument's identity as the remote-control library reads it (identification query,
// USBTMC descriptors). Implemented by the model information, which registers itself once at
// start-up before any remote service runs.
class IModelInfo
{
public:
    virtual ~IModelInfo() = default;

    virtual QString getManufacturer() const = 0;
    virtual QString getModel() const = 0;
    virtual QString getSerial() const = 0;
    virtual QString getRevision() const = 0;
    virtual QString getProductDescription() const = 0;
    virtual QString getIviDriverIdentifier() const = 0;
    virtual quint16 getUsbVID() const = 0;
    virtual quint16 getUsbPID() const = 0;
    virtual QString getHwAdr() const = 0;
};

namespace detail {
// Header-only so that the library reads the interface without linking the layer above it.
inline IModelInfo *&modelInfoInstance()
{
    static IModelInfo *instance = nullptr;
    return instance;
}
} // namespace detail

// The registered model information; null before it is built.
inline IModelInfo *getInterface_IModelInfo()
{
    return detail::modelInfoInstance();
}

// Called once by the model information's constructor, before other threads start.
inline void setInterface_IModelInfo(IModelInfo *info)
{
    detail::modelInfoInstance() = info;
}

} // namespace zostd
