#include "sim/Projector.h"

#include "sim/Session.h"

namespace sim {

Projector::Projector(const ProjectorConfig& config) : session_(std::make_shared<Session>(config)) {
    session_->Start();
}

Projector::~Projector() {
    session_->Shut();
}

void Projector::PlugInto(drv::DevicePort& port) {
    session_->SetPort(&port);
    session_->Plug();
}

void Projector::Plug() {
    session_->Plug();
}
void Projector::Unplug() {
    session_->Unplug();
}
void Projector::Restart(Mode mode) {
    session_->Restart(mode);
}
bool Projector::IsPlugged() const {
    return session_->IsPlugged();
}
std::shared_ptr<drv::BusDevice> Projector::Device() const {
    return session_->Device();
}

bool Projector::WaitForAttach(std::optional<Mode> mode, uint32_t timeoutMs) const {
    return session_->WaitForAttach(mode, timeoutMs);
}

bool Projector::WaitForDetach(uint32_t timeoutMs) const {
    return session_->WaitForDetach(timeoutMs);
}

Mode Projector::CurrentMode() const {
    return model().CurrentMode();
}
uint16_t Projector::StatusWord() const {
    return model().StatusWord();
}
void Projector::SetInformation(const Information& information) {
    model().SetInformation(information);
}
void Projector::SetFaults(const Faults& faults) {
    model().SetFaults(faults);
}
void Projector::ClearFaults() {
    model().SetFaults({});
}
Faults Projector::CurrentFaults() const {
    return model().CurrentFaults();
}

std::vector<uint8_t> Projector::ReadFlash(uint32_t offset, uint32_t size) const {
    return model().ReadFlash(offset, size);
}
std::vector<uint8_t> Projector::FlashContents() const {
    return model().FlashContents();
}
void Projector::LoadFlash(uint32_t offset, std::span<const uint8_t> data) {
    model().LoadFlash(offset, data);
}
std::vector<size_t> Projector::ErasedSectors() const {
    return model().ErasedSectors();
}
FlashRange Projector::Range() const {
    return model().Range();
}
std::vector<LoggedCommand> Projector::CommandLog() const {
    return model().CommandLog();
}
void Projector::ClearCommandLog() {
    model().ClearCommandLog();
}
Counters Projector::Counts() const {
    return model().Counts();
}

void Projector::SetCommandObserver(Model::CommandObserver observer) {
    model().SetCommandObserver(std::move(observer));
}

void Projector::SetAttachObserver(std::function<void(Mode, bool)> observer) {
    session_->SetAttachObserver(std::move(observer));
}

Model& Projector::model() {
    return session_->model();
}
const Model& Projector::model() const {
    return session_->model();
}

}  // namespace sim
