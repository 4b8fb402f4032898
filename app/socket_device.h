// The printer on the network, socket://HOST[:PORT] (port 9100 unless named):
// the application's own connection to it, which waits for a printer that
// pauses (out of paper, say) as long as it takes, but lets a canceled job go
// once the printer has stopped reading.
#pragma once

#include <pappl/pappl.h>

// 'AddDeviceSchemes()' - Register the socket scheme, then PAPPL's file, usb,
// dnssd (see AddDnssdFallback()) and snmp schemes. Called once, before the
// main loop.
void AddDeviceSchemes();

// 'WatchJobOnDevice()' - Let the device see the job, and so its cancel, when
// the job's printer is on a socket:// connection; other devices are left
// alone. Called at the start of each job.
void WatchJobOnDevice(pappl_job_t *job, pappl_device_t *device);
