// SPDX-License-Identifier: GPL-3.0-or-later
// The real network module's entry: the backend's calls, as a table for the
// stand-in that opened the module (realnet_module.h).
#include "realnet_module.h"

extern "C" __attribute__((visibility("default"))) const standin::realnet::ModuleCalls *velmora_realnet_calls() {
  namespace realnet = standin::realnet;
  static const realnet::ModuleCalls calls = {
      realnet::kModuleInterfaceVersion,
      realnet::AddJob,
      realnet::DeleteJobs,
      realnet::EnumJobs,
      realnet::GetJob,
      realnet::QueryService,
      realnet::StartService,
      realnet::ControlService,
      realnet::WorkstationInfo,
      realnet::CheckCredentialsFile,
      realnet::TakeFailureReason,
      realnet::SessionsOpened,
      realnet::CloseAllConnections,
  };
  return &calls;
}
