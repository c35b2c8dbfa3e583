#!/bin/sh
# Init of the test machine: mounts the job share, runs its job, powers off.
mount -t proc proc /proc 2>/dev/null
mount -t sysfs sys /sys 2>/dev/null
mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs shm /dev/shm
mount -t tmpfs tmp /tmp
modprobe 9pnet_virtio
modprobe 9p
mkdir -p /mnt/job
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 job /mnt/job
export HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin KQ_WINEPREFIX=/root/.wine-kq
bash /mnt/job/job.sh > /mnt/job/output 2>&1
echo $? > /mnt/job/status
sync
echo o > /proc/sysrq-trigger
sleep 10
