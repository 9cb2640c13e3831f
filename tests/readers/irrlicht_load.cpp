// A second independent reader for the tests: loads a .x file through Irrlicht's own
// loader (no window: the null driver) and says what it found. Exit 0 when the file
// loads as a mesh, 1 when Irrlicht refuses it, 2 on bad usage.
#include <irrlicht.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: irrlicht_load FILE.x\n");
        return 2;
    }
    irr::SIrrlichtCreationParameters parameters;
    parameters.DriverType = irr::video::EDT_NULL;
    parameters.LoggingLevel = irr::ELL_NONE;
    irr::IrrlichtDevice* device = irr::createDeviceEx(parameters);
    if (!device) {
        std::fprintf(stderr, "irrlicht_load: no device\n");
        return 2;
    }
    irr::scene::IAnimatedMesh* mesh = device->getSceneManager()->getMesh(argv[1]);
    int status = 1;
    if (mesh) {
        status = 0;
        std::printf("buffers %u frames %u", mesh->getMesh(0)->getMeshBufferCount(), mesh->getFrameCount());
        if (mesh->getMeshType() == irr::scene::EAMT_SKINNED)
            std::printf(" joints %u", static_cast<irr::scene::ISkinnedMesh*>(mesh)->getJointCount());
        std::printf("\n");
    } else {
        std::fprintf(stderr, "irrlicht_load: Irrlicht cannot load %s\n", argv[1]);
    }
    device->drop();
    return status;
}
