#include "LinkFactory.h"

#include "common/SettingsStore.h"

namespace panel {

PanelLink::LinkFactory makeLinkFactory(common::SettingsStore* store)
{
    return [store](const PanelShared& s) -> std::unique_ptr<common::Link> {
        const auto& p = s.profiles[s.profiles.select];
        if (s.endpoint) {
            const auto& e = *s.endpoint;
            if (e.serial)
                return std::make_unique<common::SerialLink>(e.device, e.settings.empty() ? p.settings : e.settings);
            return std::make_unique<common::TcpLink>(e.host, e.port);
        }
        if (p.serial)
            return std::make_unique<common::SerialLink>(common::serialDevicePath(p.commPort, store), p.settings);
        return std::make_unique<common::TcpLink>(p.address, p.port);
    };
}

} // namespace panel
