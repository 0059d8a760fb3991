#include <winsim/device.h>

#include <cwctype>

namespace winsim {

std::wstring widen_ascii(std::string_view text) {
    std::wstring wide;
    for (char ch : text) {
        wide += static_cast<wchar_t>(static_cast<unsigned char>(ch));
    }
    return wide;
}

bool same_device_name(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) {
            return false;
        }
    }
    return true;
}

device::device(const nlohmann::json& description) {
    for (const auto& name : description.value("names", nlohmann::json::array())) {
        names_.push_back(widen_ascii(name.get<std::string>()));
    }
    if (description.contains("interface_path")) {
        names_.push_back(widen_ascii(description.at("interface_path").get<std::string>()));
    }
    in_use_elsewhere_ = field<bool>(description, "in_use_elsewhere", false);
    const std::string where = "device \"" + device_label(description) + "\" ";
    for (const auto& rule : description.value("refuse", nlohmann::json::array())) {
        const auto error = field<std::uint32_t>(rule, "error", 1);
        if (error == 0) {
            throw description_error(where + "refuse " + rule.dump() +
                                    ": a refused control code fails with a Windows error");
        }
        refused_[field<std::uint32_t>(rule, "ioctl", 0)] = error;
    }
    const auto rules = description.value("ioctl_faults", nlohmann::json::array());
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const auto& rule = rules[i];
        const auto error = field<std::uint32_t>(rule, "error", 1117);
        // Error 0: the call succeeds without reaching the driver, so nothing is returned.
        moves_no_data(rule, where + "ioctl_faults[" + std::to_string(i) + "]", error == 0,
                      "no Windows error");
        faults_.push_back(
            {optional_field<std::uint32_t>(rule, "ioctl"), occurrence::from(rule), error});
    }
}

std::string device_label(const nlohmann::json& description) {
    for (const auto& name : description.value("names", nlohmann::json::array())) {
        return name.get<std::string>();
    }
    return field<std::string>(description, "interface_path", "");
}

bool device::answers_to(std::wstring_view name) const {
    for (const auto& own : names_) {
        if (same_device_name(own, name)) {
            return true;
        }
    }
    return false;
}

std::uint32_t device::control(control_request& request) {
    if (const auto refused = refused_.find(request.code); refused != refused_.end()) {
        return refused->second;
    }
    std::optional<std::uint32_t> injected;
    for (auto& fault : faults_) {
        if ((!fault.code || *fault.code == request.code) && fault.when.count() && !injected) {
            injected = fault.error;
        }
    }
    if (injected) {
        request.details["fault"] = true;
        return *injected;
    }
    return handle(request);
}

} // namespace winsim
