#pragma once

#include <memory>
#include <string>
#include <vector>

#include "visa/ResourceName.h"
#include "visa/SearchExpression.h"
#include "visa/Session.h"

namespace kvt::visa {

// One interface type of the VISA layer (VXI-11, raw socket, USBTMC, the
// in-process simulation): lists the resources it can find and opens
// sessions to the resources it serves.
class InterfaceProvider {
public:
    virtual ~InterfaceProvider() = default;

    // Whether this provider opens the named resource.
    virtual bool Serves(const ResourceName& name) const = 0;

    // Canonical names of the resources this interface can find now.
    virtual std::vector<std::string> ListResources() { return {}; }

    // The names to match against `search`: by default all of
    // ListResources(); a provider may leave out what `search` cannot match.
    virtual std::vector<std::string> ListResourcesFor(const SearchExpression& /*search*/) {
        return ListResources();
    }

    // Whether ListResources() may give a name that `search` matches; false
    // spares a search that cannot (a slow one, over the network) its time.
    virtual bool MayFind(const SearchExpression& /*search*/) const { return true; }

    // Opens a session; openTimeoutMs bounds connecting.
    virtual ViStatus Open(const ResourceName& name, ViUInt32 openTimeoutMs,
                          std::unique_ptr<Session>& session) = 0;
};

}  // namespace kvt::visa
