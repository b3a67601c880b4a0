#pragma once

enum PageId : int {
    Overview = 0,
    DiskUsage = 1,
    VersionManagement = 2,
    Protection = 3,
    Policy = 4,
    Update = 5,
    About = 6
};

enum SubPageId { Snapshots = 0, Deployments = 1 };
