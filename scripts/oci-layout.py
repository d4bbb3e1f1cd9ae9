#!/usr/bin/env python3
"""oci-layout.py ROOTFS.tar OUT_DIR NAME:TAG

Writes an OCI image layout (format 1.0: oci-layout, index.json, blobs/sha256/...) of one
layer, the root file system tar, with the program's entry point: quillrun as the user
quillrun, /var/lib/quillrun the program folder. Standard library only: no registry, no daemon.
"""
import gzip
import hashlib
import json
import os
import shutil
import sys
import time


def write_blob(blobs, data):
    digest = hashlib.sha256(data).hexdigest()
    with open(os.path.join(blobs, digest), "wb") as f:
        f.write(data)
    return "sha256:" + digest, len(data)


def main():
    rootfs, out, ref = sys.argv[1], sys.argv[2], sys.argv[3]
    name, _, tag = ref.partition(":")
    shutil.rmtree(out, ignore_errors=True)
    blobs = os.path.join(out, "blobs", "sha256")
    os.makedirs(blobs)

    with open(rootfs, "rb") as f:
        tar = f.read()
    diff_id = "sha256:" + hashlib.sha256(tar).hexdigest()
    # mtime 0: the same root file system gives the same layer.
    layer = gzip.compress(tar, compresslevel=6, mtime=0)
    layer_digest, layer_size = write_blob(blobs, layer)

    created = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(int(os.environ.get("SOURCE_DATE_EPOCH", time.time()))))
    config = {
        "created": created,
        "architecture": "amd64",
        "os": "linux",
        "config": {
            "User": "quillrun",
            "WorkingDir": "/var/lib/quillrun",
            "Entrypoint": ["/usr/bin/quillrun", "--folder", "/var/lib/quillrun"],
            "Cmd": ["--help"],
            "Env": ["PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
                    "QT_QPA_PLATFORM=offscreen", "LANG=C.UTF-8"],
            "Volumes": {"/var/lib/quillrun": {}},
            "Labels": {"org.opencontainers.image.title": "quillrun",
                       "org.opencontainers.image.version": tag,
                       "org.opencontainers.image.licenses": "GPL-3.0-or-later"},
        },
        "rootfs": {"type": "layers", "diff_ids": [diff_id]},
        "history": [{"created": created, "created_by": "mmdebstrap bookworm + quillrun " + tag}],
    }
    config_digest, config_size = write_blob(blobs, json.dumps(config, sort_keys=True).encode())
    manifest = {
        "schemaVersion": 2,
        "mediaType": "application/vnd.oci.image.manifest.v1+json",
        "config": {"mediaType": "application/vnd.oci.image.config.v1+json",
                   "digest": config_digest, "size": config_size},
        "layers": [{"mediaType": "application/vnd.oci.image.layer.v1.tar+gzip",
                    "digest": layer_digest, "size": layer_size}],
    }
    manifest_digest, manifest_size = write_blob(blobs, json.dumps(manifest, sort_keys=True).encode())
    index = {
        "schemaVersion": 2,
        "mediaType": "application/vnd.oci.image.index.v1+json",
        "manifests": [{"mediaType": "application/vnd.oci.image.manifest.v1+json",
                       "digest": manifest_digest, "size": manifest_size,
                       "annotations": {"org.opencontainers.image.ref.name": tag,
                                       "io.containerd.image.name": name + ":" + tag}}],
    }
    with open(os.path.join(out, "index.json"), "w") as f:
        json.dump(index, f, sort_keys=True)
    with open(os.path.join(out, "oci-layout"), "w") as f:
        json.dump({"imageLayoutVersion": "1.0.0"}, f)


if __name__ == "__main__":
    main()
