out vec4 o;
void main(){
 vec3 ro,ta;float fl;camera(BAR,ro,ta,fl);
 vec2 s=fc();
 o=vec4(stage(ro,cam(ro,ta,0.)*normalize(vec3(s,fl))),1);
}
