#include "main/RenderCommand.h"

int main(int argc, char **argv)
{
    return zuaRenderMain(argc, argv);
}
