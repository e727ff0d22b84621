#include "model.h"

const std::vector<Model>& Model::all()
{
    // The one table of models. R3 is the OTP-centric key (applications page, keyboard
    // language); R8 has a single OTP slot and old firmware without version or serial; R22
    // has no OTP at all.
    static const std::vector<Model> models = {
        {"R3", "VELMORA Security Key R3", "0x0303&0x3E5C", "3.2.05", "30A17C42", AllTransports,
         AppFido2 | AppU2f | AppNdef | AppOtp, false, 2, true},
        {"R8", "VELMORA Security Key R8", "0x0808&0x3E5C", "1.0.00", "00000000", AllTransports,
         AppFido2 | AppU2f | AppPiv | AppOpenPgp | AppOtp, false, 1, false},
        {"R14", "VELMORA Bio Key R14", "0x0E14&0x3E5C", "4.1.02", "41B20E95", AllTransports, AllApps, true, 2, false},
        {"R15", "VELMORA Bio Key R15", "0x0F15&0x3E5C", "4.3.11", "4C7D13A8", AllTransports, AllApps, true, 2, false},
        {"R22", "VELMORA Bio Key R22", "0x1622&0x3E5C", "5.0.01", "52E90F61", TransportFido | TransportCcid,
         AppFido2 | AppU2f | AppPiv | AppOpenPgp, true, 0, false},
    };
    return models;
}

const Model* Model::find(const std::string& module)
{
    for (const Model& model : all()) {
        if (model.module == module) {
            return &model;
        }
    }
    return nullptr;
}

const Model& Model::defaultModel()
{
    return *find("R15");
}
